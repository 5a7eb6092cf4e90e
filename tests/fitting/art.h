#pragma once

// Generated art of the kind users bring: anti-aliased shapes with soft alpha edges and shadows, and
// photo-like gradients with grain. Pixels bottom row first, as makeBitmap takes them.

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "test_images.h"

namespace testart {

using testimages::Rgba;

// Discs with a radial shade, a soft shadow and coverage-blended edges, on a transparent ground.
inline std::vector<Rgba> softSprite(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> r(width * height, 0), g(width * height, 0), b(width * height, 0), a(width * height, 0);
    auto over = [&](int i, double cr, double cg, double cb, double ca) {
        const double out = ca + a[i] * (1 - ca);
        if (out <= 0) {
            return;
        }
        r[i] = (cr * ca + r[i] * a[i] * (1 - ca)) / out;
        g[i] = (cg * ca + g[i] * a[i] * (1 - ca)) / out;
        b[i] = (cb * ca + b[i] * a[i] * (1 - ca)) / out;
        a[i] = out;
    };
    for (int shape = 0; shape < 4; ++shape) {
        const double cx = width * (0.2 + 0.6 * unit(random)), cy = height * (0.2 + 0.6 * unit(random));
        const double radius = std::min(width, height) * (0.15 + 0.2 * unit(random));
        const double hue[3] = {unit(random) * 255, unit(random) * 255, unit(random) * 255};
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int i = y * width + x;
                // Shadow: offset, blurred by distance.
                const double ds = std::hypot(x - cx - 3, y - cy + 3) - radius;
                if (ds < 6) {
                    over(i, 0, 0, 0, 0.5 * std::clamp((6 - ds) / 8, 0.0, 1.0));
                }
                const double d = std::hypot(x - cx, y - cy);
                const double coverage = std::clamp(radius - d + 0.5, 0.0, 1.0);
                if (coverage > 0) {
                    const double shade = 0.55 + 0.45 * (1 - d / radius);
                    over(i, hue[0] * shade, hue[1] * shade, hue[2] * shade, coverage * (0.75 + 0.25 * shade));
                }
            }
        }
    }
    std::vector<Rgba> out;
    for (int i = 0; i < width * height; ++i) {
        out.emplace_back(int(std::lround(r[i])), int(std::lround(g[i])), int(std::lround(b[i])),
                         int(std::lround(a[i] * 255)));
    }
    return out;
}

// An opaque two-way gradient with grain: every pixel its own colour.
inline std::vector<Rgba> photo(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0, 3);
    std::vector<Rgba> out;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            auto channel = [&](double value) { return std::clamp(int(std::lround(value + grain(random))), 0, 255); };
            out.emplace_back(channel(40 + 200 * u), channel(30 + 180 * v), channel(200 - 150 * u * v));
        }
    }
    return out;
}

}  // namespace testart
