// Writes a tree of small 32-bit bitmaps shaped like icons: a transparent background, a shaded disc with
// soft edges and a few flat shapes. Sizes run from 16x16 to 128x128 and the files spread over a few
// subfolders. The tree is the same for the same seed.
//
//     make_batch_tree FOLDER [COUNT=2000] [SEED=1]

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

std::vector<std::uint8_t> makeIcon(std::mt19937& rng, int size) {
    const std::size_t dataBytes = static_cast<std::size_t>(size) * size * 4;
    std::vector<std::uint8_t> out(54 + dataBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(out.size()));
    put32(out, 10, 54);
    put32(out, 14, 40);
    put32(out, 18, static_cast<std::uint32_t>(size));
    put32(out, 22, static_cast<std::uint32_t>(size));
    put16(out, 26, 1);
    put16(out, 28, 32);
    put32(out, 34, static_cast<std::uint32_t>(dataBytes));

    std::uniform_int_distribution<int> byte(0, 255);
    const int baseR = byte(rng), baseG = byte(rng), baseB = byte(rng);
    const int barR = byte(rng), barG = byte(rng), barB = byte(rng);
    const double centre = (size - 1) / 2.0;
    const double radius = size * 0.42;
    std::size_t at = 54;
    for (int row = 0; row < size; ++row) {  // bottom row first
        for (int x = 0; x < size; ++x) {
            double dx = x - centre, dy = row - centre;
            double distance = std::sqrt(dx * dx + dy * dy);
            int r = 0, g = 0, b = 0, a = 0;
            if (distance < radius + 1.0) {
                // Eight shading steps keep the colour count an icon would have.
                int shade = static_cast<int>((radius - distance) / radius * 8.0);
                r = std::min(255, baseR / 2 + shade * 12);
                g = std::min(255, baseG / 2 + shade * 12);
                b = std::min(255, baseB / 2 + shade * 12);
                a = distance > radius ? static_cast<int>((radius + 1.0 - distance) * 255.0) : 255;
            }
            if (row > size / 3 && row < size / 3 + size / 8 && x > size / 5 && x < size - size / 5) {
                r = barR, g = barG, b = barB, a = 255;
            }
            out[at++] = static_cast<std::uint8_t>(b);
            out[at++] = static_cast<std::uint8_t>(g);
            out[at++] = static_cast<std::uint8_t>(r);
            out[at++] = static_cast<std::uint8_t>(a);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_batch_tree FOLDER [COUNT] [SEED]\n");
        return 2;
    }
    const fs::path root = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 2000;
    std::mt19937 rng(argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1u);
    const char* folders[] = {"", "icons", "icons/small", "icons/large", "buttons", "buttons/hover", "misc"};
    std::uniform_int_distribution<int> sizes(16, 128);
    std::error_code ec;
    for (const char* folder : folders) {
        fs::create_directories(root / folder, ec);
        if (ec) {
            std::fprintf(stderr, "cannot create %s: %s\n", (root / folder).c_str(), ec.message().c_str());
            return 1;
        }
    }
    for (int i = 0; i < count; ++i) {
        fs::path path = root / folders[i % std::size(folders)] / ("icon" + std::to_string(i) + ".bmp");
        std::vector<std::uint8_t> bytes = makeIcon(rng, sizes(rng));
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
