#pragma once

// Trees of bitmaps for the batch tests, on top of the codec tests' hand-built files.

#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <map>

#include "conversions.h"
#include "png_codec.h"

namespace batch_test {

using namespace imaging;
using namespace testimages;
using testing::HasSubstr;
using Tree = std::map<std::string, Bytes>;
using Names = std::vector<std::string>;

// A bitmap whose pixel (x, y) comes from `pixel`, y counted from the top.
inline Bytes makeBmp(int width, int height, int bitDepth, const std::function<Rgba(int x, int y)>& pixel) {
    std::vector<Rgba> pixels;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(pixel(x, y));
        }
    }
    return makeBitmap(width, height, pixels, bitDepth);
}

// 16x16 opaque pixels holding exactly `combinations` distinct 5-6-5 colours (1..256).
inline Bytes bmpWithCombinations(int combinations) {
    std::vector<Rgba> pixels = distinctColours(combinations);
    pixels.resize(256, pixels.back());
    return makeBitmap(16, 16, pixels, 32);
}

// A small bitmap with runs, partial and full transparency, of its own size for each seed.
inline Bytes seededBmp(int seed, int bitDepth = 32) {
    return spriteBitmap(8 + seed % 24, 8 + seed * 7 % 20, static_cast<unsigned>(seed), bitDepth);
}

// The PNG file of a bitmap's pixels (a PNG stores the top row first).
inline Bytes pngOf(const Bytes& bmp) {
    ImageModel model, upright;
    if (!decodeBitmap(bmp, model)) {
        return {};
    }
    upright.Width = model.Width, upright.Height = model.Height, upright.RlAlphaFlag = 1;
    for (auto row = model.Pixels.end(); row != model.Pixels.begin(); row -= model.Width) {
        upright.Pixels.insert(upright.Pixels.end(), row - model.Width, row);
    }
    return encodePng(upright).value();
}

inline std::string numbered(std::string prefix, int n, const std::string& suffix = {}) {
    return (prefix += std::to_string(n)) += suffix;
}

// Every file and folder below root by relative path; folders hold FolderMark.
inline const Bytes FolderMark{'/'};
inline Tree snapshot(const fs::path& root) {
    Tree files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        files[fs::relative(item.path(), root).string()] =
            item.is_directory() ? FolderMark : readFile(item.path());
    }
    return files;
}

}  // namespace batch_test
