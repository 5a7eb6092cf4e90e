#include "test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>

#include "image_model.h"

namespace batch_test {

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

}  // namespace

std::vector<std::uint8_t> makeBmp(int width, int height, int bitDepth,
                                  const std::function<Rgba(int x, int y)>& pixel) {
    const std::size_t bytesPerPixel = static_cast<std::size_t>(bitDepth / 8);
    const std::size_t rowStrideBytes = (static_cast<std::size_t>(width) * bytesPerPixel + 3) / 4 * 4;
    const std::size_t dataBytes = rowStrideBytes * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> out(54 + dataBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(out.size()));
    put32(out, 10, 54);
    put32(out, 14, 40);
    put32(out, 18, static_cast<std::uint32_t>(width));
    put32(out, 22, static_cast<std::uint32_t>(height));
    put16(out, 26, 1);
    put16(out, 28, static_cast<std::uint32_t>(bitDepth));
    put32(out, 34, static_cast<std::uint32_t>(dataBytes));
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        const int y = height - 1 - fileRow;  // rows are stored bottom-up
        std::size_t at = 54 + static_cast<std::size_t>(fileRow) * rowStrideBytes;
        for (int x = 0; x < width; ++x) {
            Rgba p = pixel(x, y);
            out[at++] = p.b;
            out[at++] = p.g;
            out[at++] = p.r;
            if (bitDepth == 32) {
                out[at++] = p.a;
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> bmpWithCombinations(int combinations) {
    return makeBmp(16, 16, 32, [combinations](int x, int y) {
        int index = std::min(y * 16 + x, combinations - 1);
        // Distinct 5-6-5 values: five bits of red, then green.
        return Rgba{static_cast<std::uint8_t>((index & 31) << 3),
                    static_cast<std::uint8_t>((index >> 5) << 2), 0, 255};
    });
}

std::vector<std::uint8_t> seededBmp(int seed, int bitDepth) {
    const int width = 8 + seed % 24;
    const int height = 8 + (seed * 7) % 20;
    const Rgba colours[5] = {
        {static_cast<std::uint8_t>(seed * 40), 10, 200, 255},
        {0, static_cast<std::uint8_t>(255 - seed), 0, 255},
        {255, 255, static_cast<std::uint8_t>(seed * 3), 128},
        {1, 2, 3, 0},
        {90, 90, 90, 200},
    };
    return makeBmp(width, height, bitDepth, [&](int x, int y) { return colours[(x / 3 + y + seed) % 5]; });
}

std::vector<std::uint8_t> rlOf(const std::vector<std::uint8_t>& bmp) {
    imaging::ImageModel model;
    if (!imaging::decodeBitmap(bmp, model)) {
        return {};
    }
    auto encoded = imaging::encodeCompressed(model);
    return encoded ? *encoded : std::vector<std::uint8_t>{};
}

std::string numbered(const std::string& prefix, int n, const std::string& suffix) {
    std::string text = prefix;
    text += std::to_string(n);
    text += suffix;
    return text;
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::map<std::string, std::vector<std::uint8_t>> snapshot(const fs::path& root) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        std::string relative = fs::relative(item.path(), root).string();
        if (item.is_directory()) {
            files[relative] = {'<', 'd', 'i', 'r', '>'};
        } else {
            files[relative] = readBytes(item.path());
        }
    }
    return files;
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    std::string name = numbered("batch_test_", ::getpid(), "_");
    name = numbered(name, static_cast<int>(counter++), "_");
    m_path = fs::temp_directory_path() / numbered(name, static_cast<int>(random() % 100000));
    fs::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests take rights away; give them back so everything can go.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(m_path, ec);
}

int runUnprivileged(const std::function<int()>& fn) {
    pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(101);
        }
        ::_exit(fn());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace batch_test
