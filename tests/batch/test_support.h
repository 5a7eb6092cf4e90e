#pragma once

// Temporary trees, and bitmaps built from bytes, for the batch tests.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "image_model.h"

namespace batch_test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// An uncompressed bitmap: 54-byte header, rows bottom-up, 24-bit rows padded to four bytes. y counts
// from the top row.
inline Bytes makeBmp(int width, int height, int bitDepth, const std::function<Rgba(int x, int y)>& pixel) {
    const std::size_t stride = (static_cast<std::size_t>(width) * (bitDepth / 8) + 3) / 4 * 4;
    Bytes out(54 + stride * height, 0);
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    out[0] = 'B', out[1] = 'M';
    put(2, static_cast<std::uint32_t>(out.size()), 4);
    put(10, 54, 4), put(14, 40, 4), put(18, width, 4), put(22, height, 4), put(26, 1, 2),
        put(28, bitDepth, 2);
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
    const Rgba colours[5] = {{static_cast<std::uint8_t>(seed * 40), 10, 200, 255},
                             {0, static_cast<std::uint8_t>(255 - seed), 0, 255},
                             {255, 255, static_cast<std::uint8_t>(seed * 3), 128},
                             {1, 2, 3, 0},
                             {90, 90, 90, 200}};
    return makeBmp(8 + seed % 24, 8 + seed * 7 % 20, bitDepth,
                   [&](int x, int y) { return colours[(x / 3 + y + seed) % 5]; });
}

// What the codecs make of a file, for comparing with what a run wrote.
inline Bytes rlOf(const Bytes& bmp) {
    imaging::ImageModel model;
    auto encoded = imaging::decodeBitmap(bmp, model) ? imaging::encodeCompressed(model) : tarvik::Error{};
    return encoded ? *encoded : Bytes{};
}
inline Bytes bmpOf(const Bytes& rl) {
    imaging::ImageModel model;
    auto encoded = imaging::decodeCompressed(rl, model) ? imaging::encodeBitmap(model) : tarvik::Error{};
    return encoded ? *encoded : Bytes{};
}

inline std::string numbered(const std::string& prefix, int n, const std::string& suffix = {}) {
    std::string text = prefix;
    text += std::to_string(n);
    return text += suffix;
}

inline void writeFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
inline void writeFile(const fs::path& path, const std::string& text) {
    writeFile(path, Bytes(text.begin(), text.end()));
}

inline Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file and folder below root by relative path; folders hold FolderMark.
inline const Bytes FolderMark{'<', 'd', 'i', 'r', '>'};
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
    TempDir() {
        static std::atomic<int> counter{0};
        std::string name = numbered(numbered("batch_test_", ::getpid(), "_"), counter++, "_");
        m_path =
            fs::temp_directory_path() / numbered(name, static_cast<int>(std::random_device{}() % 100000));
        fs::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        // Tests take rights away; give them back so everything can go.
        for (auto it = fs::recursive_directory_iterator(m_path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink(ec)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            }
        }
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
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
