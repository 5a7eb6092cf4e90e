#pragma once

// Hand-built files for the codec tests; the fitting, batch, hostile, command-line and launcher tests use
// them too.

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "test_helpers.h"

namespace testimages {

using namespace testhelpers;

// Channels given as ints: test tables stay free of casts.
struct Rgba {
    constexpr Rgba(int r = 0, int g = 0, int b = 0, int a = 255)
        : r(static_cast<std::uint8_t>(r)),
          g(static_cast<std::uint8_t>(g)),
          b(static_cast<std::uint8_t>(b)),
          a(static_cast<std::uint8_t>(a)) {}
    std::uint8_t r, g, b, a;
};

inline std::int32_t colourOf(const Rgba& p) {
    return p.r | (p.g << 8) | (p.b << 16);
}

inline void putU16(Bytes& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v), out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(Bytes& out, std::size_t at, std::uint32_t v) {
    putU16(out, at, v & 0xFFFF), putU16(out, at + 2, v >> 16);
}
// `bytes` with a field of 2 or 4 bytes set, grown to hold it.
inline Bytes withField(Bytes bytes, std::size_t at, std::int64_t value, int size = 4) {
    bytes.resize(std::max(bytes.size(), at + static_cast<std::size_t>(size)));
    size == 2 ? putU16(bytes, at, static_cast<std::uint32_t>(value))
              : putU32(bytes, at, static_cast<std::uint32_t>(value));
    return bytes;
}

// A Windows bitmap of 24 or 32 bits. `pixels` lists the picture bottom row first, left to right; with
// topDown the file stores the rows top row first and declares a negative height.
inline Bytes makeBitmap(int width, int height, const std::vector<Rgba>& pixels, int bitDepth = 32,
                        bool topDown = false) {
    if (pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        throw std::invalid_argument("makeBitmap: fewer pixels than width x height");
    }
    const std::size_t stride = (static_cast<std::size_t>(width) * (bitDepth / 8) + 3) / 4 * 4;
    Bytes out(54 + stride * height, 0);
    out[0] = 'B', out[1] = 'M';
    putU32(out, 2, static_cast<std::uint32_t>(out.size())), putU32(out, 10, 54), putU32(out, 14, 40);
    putU32(out, 18, width), putU32(out, 22, topDown ? -height : height), putU16(out, 26, 1);
    putU16(out, 28, bitDepth), putU32(out, 34, static_cast<std::uint32_t>(stride * height));
    for (int row = 0; row < height; ++row) {
        std::size_t at = 54 + stride * static_cast<std::size_t>(topDown ? height - 1 - row : row);
        for (int x = 0; x < width; ++x) {
            const Rgba& p = pixels[static_cast<std::size_t>(row * width + x)];
            out[at++] = p.b, out[at++] = p.g, out[at++] = p.r;
            if (bitDepth == 32) {
                out[at++] = p.a;
            }
        }
    }
    return out;
}

// A compressible picture, different for each seed: runs of 20 to 80 pixels (so every row's codes stay far
// below 255 bytes) in twelve colours, one transparent, one half so.
inline Bytes spriteBitmap(int width, int height, unsigned seed, int bitDepth = 32) {
    std::mt19937 rng(seed);
    std::vector<Rgba> colours;
    for (int alpha : {0, 128, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}) {
        colours.push_back({static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                           static_cast<int>(rng() % 256), alpha});
    }
    std::vector<Rgba> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < pixels.size();) {
        const Rgba colour = colours[rng() % colours.size()];
        for (std::size_t n = 20 + rng() % 61; n > 0 && i < pixels.size(); --n) {
            pixels[i++] = colour;
        }
    }
    return makeBitmap(width, height, pixels, bitDepth);
}

// An RL file from its parts: the key colour, then `colours` (5-6-5 words), the alpha table's levels if any,
// and the rows' code bytes.
inline Bytes makeRl(int width, int height, const std::vector<std::uint16_t>& colours,
                    const std::vector<Bytes>& rows, const std::vector<std::uint8_t>& levels = {}) {
    Bytes out{'R', 'L', !levels.empty(), 0};
    auto put16 = [&out](std::size_t v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
    put16(width), put16(height), put16(colours.size() + 1), put16(rows.size()), put16(0xF81F);
    for (std::uint16_t c : colours) {
        put16(c);
    }
    out.insert(out.end(), levels.begin(), levels.end());
    for (const Bytes& row : rows) {
        out.push_back(static_cast<std::uint8_t>(row.size()));
    }
    for (const Bytes& row : rows) {
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

inline std::vector<Rgba> repeat(std::initializer_list<std::pair<Rgba, int>> runs) {
    std::vector<Rgba> out;
    for (auto [pixel, count] : runs) {
        out.insert(out.end(), static_cast<std::size_t>(count), pixel);
    }
    return out;
}

inline const Rgba Red{255, 0, 0}, Blue{0, 0, 255}, Clear{0, 0, 0, 0};

// The format's worked example: 5 opaque red, 2 fully transparent, 3 opaque blue pixels, and its 27 bytes.
inline std::vector<Rgba> redGapBlueRow() {
    return repeat({{Red, 5}, {Clear, 2}, {Blue, 3}});
}
inline Bytes redGapBlueRl() {
    return {0x52, 0x4C, 0x00, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x1F, 0xF8,
            0x00, 0xF8, 0x1F, 0x00, 0x08, 0xFE, 0x01, 0x05, 0x00, 0x00, 0x02, 0x02, 0x02};
}

// Each pixel of an image model as (colour, alpha): whole images compare in one expectation.
template <class Model>
std::vector<std::pair<int, int>> colourAndAlpha(const Model& model) {
    std::vector<std::pair<int, int>> out;
    for (const auto& p : model.Pixels) {
        out.emplace_back(p.Color, p.Alpha);
    }
    return out;
}

// `count` distinct opaque colours that stay distinct in 5-6-5.
inline std::vector<Rgba> distinctColours(int count) {
    std::vector<Rgba> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(Rgba{i % 32 * 8, i / 32 * 4, 0});
    }
    return out;
}

}  // namespace testimages
