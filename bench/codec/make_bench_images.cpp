// Writes the three 4096 x 4096 bitmaps the codec benchmark times:
//   sprites32.bmp   32-bit sprite sheet: round sprites with soft edges on a transparent ground, ~200
//                   colour/alpha combinations, the kind of image this tool is for
//   photo24.bmp     24-bit photo-like picture with millions of colours
//   longruns32.bmp  32-bit, the same kind of palette, every run 50..300 pixels long, so each row's codes fit
//                   in 255 bytes and the file can be compressed
// Deterministic: the same bytes on every run.

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int Side = 4096;

struct Rgba {
    std::uint8_t r, g, b, a;
};

class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : m_state(seed) {}
    std::uint32_t next() {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(m_state >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint64_t m_state;
};

// 50 colours that stay distinct in 5-6-5, with 4 alphas each: 200 combinations (plus transparency).
constexpr int PaletteColours = 50;
constexpr std::uint8_t Alphas[] = {255, 200, 120, 40};

Rgba paletteColour(int index, std::uint8_t alpha) {
    return Rgba{static_cast<std::uint8_t>(40 + (index % 5) * 48),
                static_cast<std::uint8_t>(20 + (index / 5 % 5) * 52),
                static_cast<std::uint8_t>(index / 25 * 200 + 16), alpha};
}

bool writeBitmap(const std::filesystem::path& path, int bits, const std::vector<Rgba>& pixels, int Side = Side) {
    const int bytesPerPixel = bits / 8;
    const std::size_t stride = static_cast<std::size_t>(Side) * bytesPerPixel + (bits == 24 ? Side % 4 : 0);
    std::vector<std::uint8_t> file(54 + stride * Side, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, Side);
    put32(22, Side);
    file[26] = 1;
    file[28] = static_cast<std::uint8_t>(bits);
    put32(34, static_cast<std::uint32_t>(stride * Side));
    put32(38, 2835);
    put32(42, 2835);
    for (std::size_t y = 0; y < static_cast<std::size_t>(Side); ++y) {
        std::uint8_t* dst = file.data() + 54 + y * stride;
        for (std::size_t x = 0; x < static_cast<std::size_t>(Side); ++x) {
            const Rgba& p = pixels[y * Side + x];
            *dst++ = p.b;
            *dst++ = p.g;
            *dst++ = p.r;
            if (bytesPerPixel == 4) {
                *dst++ = p.a;
            }
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

std::vector<Rgba> spriteSheet() {
    std::vector<Rgba> pixels(static_cast<std::size_t>(Side) * Side, Rgba{0, 0, 0, 0});
    Lcg rng(1);
    constexpr int Tile = 64;
    for (int ty = 0; ty < Side / Tile; ++ty) {
        for (int tx = 0; tx < Side / Tile; ++tx) {
            const int body = rng.below(PaletteColours);
            const int detail = rng.below(PaletteColours);
            const double radius = 18 + rng.below(12);
            for (int y = 0; y < Tile; ++y) {
                for (int x = 0; x < Tile; ++x) {
                    const double d = std::hypot(x - 31.5, y - 31.5);
                    if (d >= radius) {
                        continue;
                    }
                    // Soft edge: three fading rings outside the opaque body; a detail in the middle.
                    const int ring = d < radius - 3 ? 0 : 1 + static_cast<int>(d - (radius - 3));
                    const int colour = d < radius / 3 ? detail : body;
                    pixels[static_cast<std::size_t>(ty * Tile + y) * Side + tx * Tile + x] =
                        paletteColour(colour, Alphas[ring > 3 ? 3 : ring]);
                }
            }
        }
    }
    return pixels;
}

std::vector<Rgba> photo() {
    std::vector<Rgba> pixels(static_cast<std::size_t>(Side) * Side);
    Lcg rng(2);
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            auto channel = [&](double base) {
                const double v = base + static_cast<double>(rng.below(17)) - 8;
                return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            };
            const double fx = x / 4096.0, fy = y / 4096.0;
            pixels[static_cast<std::size_t>(y) * Side + x] = Rgba{
                channel(128 + 100 * std::sin(6 * fx + 3 * fy)), channel(110 + 90 * std::cos(5 * fy - 2 * fx)),
                channel(120 + 80 * std::sin(9 * fx * fy + 1)), 255};
        }
    }
    return pixels;
}

std::vector<Rgba> longRuns() {
    std::vector<Rgba> pixels(static_cast<std::size_t>(Side) * Side);
    Lcg rng(3);
    for (int y = 0; y < Side; ++y) {
        int previous = -1;
        for (int x = 0; x < Side;) {
            // 201 choices: 200 combinations and transparency; never the neighbour's, so runs do not merge.
            int choice = rng.below(201);
            while (choice == previous) {
                choice = rng.below(201);
            }
            previous = choice;
            const Rgba pixel =
                choice == 200 ? Rgba{0, 0, 0, 0} : paletteColour(choice / 4, Alphas[choice % 4]);
            const int length = 50 + rng.below(251);
            for (int i = 0; i < length && x < Side; ++i, ++x) {
                pixels[static_cast<std::size_t>(y) * Side + x] = pixel;
            }
        }
    }
    return pixels;
}

// 256 x 256 colours, all different, picked so that a multiplicative hash (x * 0x9E3779B1, top bits kept)
// sends them all to a few neighbouring slots whatever the table size: what a hostile file would hold to make
// colour counting take quadratic time.
std::vector<Rgba> collidingColours() {
    constexpr std::uint32_t Count = 256 * 256;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> hashed;
    hashed.reserve(1u << 24);
    for (std::uint32_t key = 0; key < (1u << 24); ++key) {
        hashed.emplace_back(key * 0x9E3779B1u, key);
    }
    std::nth_element(hashed.begin(), hashed.begin() + Count, hashed.end());
    std::vector<Rgba> pixels;
    pixels.reserve(Count);
    for (std::uint32_t i = 0; i < Count; ++i) {
        const std::uint32_t key = hashed[i].second;  // 0xBBGGRR
        pixels.push_back(Rgba{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                              static_cast<std::uint8_t>(key >> 16), 255});
    }
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: codec_bench_data FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const bool ok = writeBitmap(folder / "sprites32.bmp", 32, spriteSheet()) &&
                    writeBitmap(folder / "photo24.bmp", 24, photo()) &&
                    writeBitmap(folder / "longruns32.bmp", 32, longRuns()) &&
                    writeBitmap(folder / "colliding24.bmp", 24, collidingColours(), 256);
    if (!ok) {
        std::fprintf(stderr, "codec_bench_data: cannot write into %s\n", folder.string().c_str());
        return 1;
    }
    return 0;
}
