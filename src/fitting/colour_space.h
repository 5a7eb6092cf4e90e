#pragma once

// Pixels as premultiplied RGBA: the space in which the fitter measures every change, so that colour under
// a low alpha weighs as little as it shows.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image_model.h"
#include "rl_format.h"

namespace fitting::detail {

struct Premultiplied {
    float r = 0, g = 0, b = 0, a = 0;
};

inline Premultiplied premultiply(const imaging::PixelRecord& pixel) {
    const auto colour = static_cast<std::uint32_t>(pixel.Color);
    const float a = static_cast<float>(pixel.Alpha);
    const float scale = a / 255.0f;
    return {static_cast<float>(colour & 0xFF) * scale, static_cast<float>((colour >> 8) & 0xFF) * scale,
            static_cast<float>((colour >> 16) & 0xFF) * scale, a};
}

inline float distance2(const Premultiplied& x, const Premultiplied& y) {
    const float dr = x.r - y.r, dg = x.g - y.g, db = x.b - y.b, da = x.a - y.a;
    return dr * dr + dg * dg + db * db + da * da;
}

// The value nearest to a straight (not premultiplied) colour that an RL file can show: channels rounded to
// the 5-6-5 steps, alpha to the 32 visible levels (8v - 1). Alpha below 7 stays transparent.
inline imaging::PixelRecord nearestShown(double red, double green, double blue, double alpha) {
    auto channel = [](double value, int step, int top) {
        const long rounded = std::lround(value / step) * step;
        return static_cast<std::int32_t>(std::clamp<long>(rounded, 0, top));
    };
    if (alpha < 7.0) {
        return {0, 0};
    }
    const auto level = std::clamp<long>(std::lround((alpha + 1.0) / 8.0), 1, 32);
    return {channel(red, 8, 248) | (channel(green, 4, 252) << 8) | (channel(blue, 8, 248) << 16),
            imaging::rl::alphaFromLevel(static_cast<std::int32_t>(level))};
}

}  // namespace fitting::detail
