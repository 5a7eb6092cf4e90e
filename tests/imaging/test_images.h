#pragma once

// Hand-built files for the codec and command-line tests.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace testimages {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

inline void putU16(Bytes& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(Bytes& out, std::size_t at, std::uint32_t v) {
    putU16(out, at, v & 0xFFFF);
    putU16(out, at + 2, v >> 16);
}

// A Windows bitmap of 24 or 32 bits. `pixels` lists the picture bottom row first, left to right; with
// topDown the file stores the rows top row first and declares a negative height.
inline Bytes makeBitmap(int width, int height, const std::vector<Rgba>& pixels, int bitDepth = 32,
                        bool topDown = false) {
    const int bytesPerPixel = bitDepth / 8;
    const std::size_t padding = bitDepth == 24 ? static_cast<std::size_t>(width % 4) : 0;
    const std::size_t stride = static_cast<std::size_t>(width) * bytesPerPixel + padding;
    Bytes out(54 + stride * static_cast<std::size_t>(height), 0);
    out[0] = 'B';
    out[1] = 'M';
    putU32(out, 2, static_cast<std::uint32_t>(out.size()));
    putU32(out, 10, 54);
    putU32(out, 14, 40);
    putU32(out, 18, static_cast<std::uint32_t>(width));
    putU32(out, 22, static_cast<std::uint32_t>(topDown ? -height : height));
    putU16(out, 26, 1);
    putU16(out, 28, static_cast<std::uint32_t>(bitDepth));
    putU32(out, 34, static_cast<std::uint32_t>(stride * height));
    for (int row = 0; row < height; ++row) {
        const int fileRow = topDown ? height - 1 - row : row;
        std::uint8_t* dst = out.data() + 54 + stride * static_cast<std::size_t>(fileRow);
        for (int x = 0; x < width; ++x) {
            const Rgba& p = pixels[static_cast<std::size_t>(row * width + x)];
            *dst++ = p.b;
            *dst++ = p.g;
            *dst++ = p.r;
            if (bytesPerPixel == 4) {
                *dst++ = p.a;
            }
        }
    }
    return out;
}

// One row: 5 opaque red, 2 fully transparent, 3 opaque blue pixels.
inline std::vector<Rgba> redGapBlueRow() {
    std::vector<Rgba> row(5, Rgba{255, 0, 0, 255});
    row.insert(row.end(), 2, Rgba{0, 0, 0, 0});
    row.insert(row.end(), 3, Rgba{0, 0, 255, 255});
    return row;
}

// That row as an RL file: the format's worked example, 27 bytes.
inline Bytes redGapBlueRl() {
    return {0x52, 0x4C, 0x00, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x1F, 0xF8,
            0x00, 0xF8, 0x1F, 0x00, 0x08, 0xFE, 0x01, 0x05, 0x00, 0x00, 0x02, 0x02, 0x02};
}

// `count` distinct opaque colours that stay distinct in 5-6-5.
inline std::vector<Rgba> distinctColours(int count) {
    std::vector<Rgba> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(
            Rgba{static_cast<std::uint8_t>((i % 32) * 8), static_cast<std::uint8_t>((i / 32) * 4), 0, 255});
    }
    return out;
}

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() /
                 ("tarvik-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    std::size_t entryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_path),
                                                      std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path m_path;
};

}  // namespace testimages
