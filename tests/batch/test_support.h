#pragma once

// Temporary trees, and bitmaps built from bytes, for the batch tests.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "image_model.h"

namespace batch_test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Tree = std::map<std::string, Bytes>;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// An uncompressed bitmap: 54-byte header, rows bottom-up, 24-bit rows padded to four bytes; y from the top.
inline Bytes makeBmp(int width, int height, int bitDepth, const std::function<Rgba(int x, int y)>& pixel) {
    const std::size_t stride = (static_cast<std::size_t>(width) * (bitDepth / 8) + 3) / 4 * 4;
    Bytes out(54 + stride * height, 0);
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    out[0] = 'B', out[1] = 'M';
    put(2, static_cast<std::uint32_t>(out.size())), put(10, 54), put(14, 40), put(18, width), put(22, height);
    put(26, 1), put(28, bitDepth);  // planes, then bit depth over the compression field's zero
    for (int y = 0; y < height; ++y) {
        std::size_t at = 54 + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            Rgba p = pixel(x, y);
            out[at++] = p.b, out[at++] = p.g, out[at++] = p.r;
            if (bitDepth == 32) {
                out[at++] = p.a;
            }
        }
    }
    return out;
}

// 16x16 opaque pixels holding exactly `combinations` distinct 5-6-5 colours (1..256).
inline Bytes bmpWithCombinations(int combinations) {
    return makeBmp(16, 16, 32, [=](int x, int y) {
        int index = std::min(y * 16 + x, combinations - 1);
        return Rgba{static_cast<std::uint8_t>((index & 31) << 3),
                    static_cast<std::uint8_t>((index >> 5) << 2), 0};
    });
}

// A small bitmap with runs, partial and full transparency, different for each seed.
inline Bytes seededBmp(int seed, int bitDepth = 32) {
    const auto s = static_cast<std::uint8_t>(seed);
    const Rgba colours[5] = {{s, 10, 200}, {0, 255, s}, {255, s, 9, 128}, {1, 2, 3, 0}, {90, 90, 90, 200}};
    return makeBmp(8 + seed % 24, 8 + seed * 7 % 20, bitDepth,
                   [&](int x, int y) { return colours[(x / 3 + y + seed) % 5]; });
}

// What the codecs make of a bitmap, to compare with what a run wrote.
inline Bytes rlOf(const Bytes& bmp) {
    imaging::ImageModel model;
    auto encoded = imaging::decodeBitmap(bmp, model) ? imaging::encodeCompressed(model) : tarvik::Error{};
    return encoded ? *encoded : Bytes{};
}

inline std::string numbered(std::string prefix, int n, const std::string& suffix = {}) {
    return (prefix += std::to_string(n)) += suffix;
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}
inline void writeFile(const fs::path& path, const Bytes& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

inline Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file and folder below root by relative path; folders hold FolderMark.
inline const Bytes FolderMark{'/'};
inline std::map<std::string, Bytes> snapshot(const fs::path& root) {
    std::map<std::string, Bytes> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        files[fs::relative(item.path(), root).string()] =
            item.is_directory() ? FolderMark : readFile(item.path());
    }
    return files;
}

class TempDir {
public:
    TempDir() : m_path(fs::temp_directory_path() / numbered("batch_test_", ::getpid(), "_XXXXXX")) {
        std::string name = m_path.string();
        if (::mkdtemp(name.data()) == nullptr) {
            throw fs::filesystem_error("mkdtemp", m_path, std::error_code(errno, std::generic_category()));
        }
        m_path = name;
        fs::permissions(m_path, fs::perms::all);  // tests may run as "nobody" inside
    }
    ~TempDir() {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(m_path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all,
                            fs::perm_options::add | fs::perm_options::nofollow, ec);
        }
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    fs::path operator/(const std::string& relative) const { return m_path / relative; }

private:
    fs::path m_path;
};

// Runs fn in a child process as "nobody" when we are root, so that permissions bite; its exit status.
inline int runUnprivileged(const std::function<int()>& fn) {
    pid_t child = ::fork();
    if (child == 0) {
        ::_exit(::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0) ? 101 : fn());
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace batch_test
