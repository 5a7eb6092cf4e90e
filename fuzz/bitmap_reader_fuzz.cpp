// The bitmap reader on arbitrary bytes. Besides "no crash, no sanitizer report", three properties:
//  - the in-memory decoder, the streaming file loader and the statistics-only pass agree, failure for
//    failure and field for field;
//  - a file whose header is sound and whose pixel bytes are all present is accepted;
//  - what is accepted matches a plain re-reading of the bytes: every pixel, the four counters and the
//    palette in order of first appearance.

#include <cstdint>
#include <cstring>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "image_model.h"

namespace {

using imaging::ImageModel;
using imaging::PixelRecord;

std::int32_t s32(const std::uint8_t* p) {
    std::uint32_t v = 0;
    std::memcpy(&v, p, 4);  // little-endian host, as every machine this runs on
    return static_cast<std::int32_t>(v);
}
std::uint32_t u16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

struct Layout {
    bool sound = false;
    bool bitFields = false;  // compression 3 or 6: bytes laid out as masks say, not checked byte by byte
    std::int64_t width = 0, height = 0;  // height as an absolute value
    bool topDown = false;
    int bytesPerPixel = 0;
    std::int64_t stride = 0, offset = 0;
};

// The header as a careful reader sees it: `sound` when every declared pixel byte lies inside the file.
Layout layoutOf(std::span<const std::uint8_t> file) {
    Layout l;
    if (file.size() < 54) {
        return l;
    }
    const auto depth = u16(file.data() + 28);
    l.width = s32(file.data() + 18);
    const std::int64_t h = s32(file.data() + 22);
    l.topDown = h < 0;
    l.height = h < 0 ? -h : h;
    l.offset = s32(file.data() + 10);
    const std::int64_t headerSize = s32(file.data() + 14), compression = s32(file.data() + 30);
    if (headerSize == 12 || (compression != 0 && compression != 3 && compression != 6)) {
        return l;  // OS/2 headers, RLE, JPEG and PNG are refused
    }
    l.bitFields = compression != 0;
    if ((depth != 24 && depth != 32) || l.width <= 0 || l.height == 0 ||
        l.width * l.height > (std::int64_t{1} << 28)) {
        return l;
    }
    l.bytesPerPixel = static_cast<int>(depth / 8);
    l.stride = l.width * l.bytesPerPixel + (l.bytesPerPixel == 3 ? l.width % 4 : 0);
    const std::int64_t size = static_cast<std::int64_t>(file.size());
    // Rows may start anywhere in the file, inside the header too.
    l.sound = !l.bitFields && l.offset >= 0 && l.offset <= size &&
              l.offset + (l.height - 1) * l.stride + l.width * l.bytesPerPixel <= size;
    return l;
}

void checkAgainstBytes(std::span<const std::uint8_t> file, const Layout& l, const ImageModel& m) {
    FUZZ_CHECK(m.Width == l.width && m.Height == l.height);
    FUZZ_CHECK(m.BitDepth == 8 * l.bytesPerPixel);
    FUZZ_CHECK(m.Pixels.size() == static_cast<std::size_t>(l.width * l.height));

    std::set<std::int32_t> colours;
    std::set<std::pair<std::int32_t, std::int32_t>> combinations;
    std::vector<std::pair<std::int32_t, std::int32_t>> firstSeen;
    std::int32_t alphaPixels = 0, transparentPixels = 0;
    std::size_t i = 0;
    for (std::int64_t row = 0; row < l.height; ++row) {  // bottom row first
        const std::int64_t fileRow = l.topDown ? l.height - 1 - row : row;
        const std::uint8_t* p = file.data() + l.offset + fileRow * l.stride;
        for (std::int64_t x = 0; x < l.width; ++x, p += l.bytesPerPixel, ++i) {
            const std::int32_t colour = p[2] | (p[1] << 8) | (p[0] << 16);
            const std::int32_t alpha = l.bytesPerPixel == 4 ? p[3] : 255;
            FUZZ_CHECK(m.Pixels[i].Color == colour && m.Pixels[i].Alpha == alpha);
            alphaPixels += alpha < 255;
            transparentPixels += alpha == 0;
            if (alpha != 0) {
                colours.insert(colour);
            }
            if (alpha >= 7) {
                const std::pair<std::int32_t, std::int32_t> combination{imaging::ToRgb565(colour), alpha};
                if (combinations.insert(combination).second) {
                    firstSeen.push_back(combination);
                }
            }
        }
    }
    FUZZ_CHECK(m.WindowsColorCount == static_cast<std::int32_t>(colours.size()));
    FUZZ_CHECK(m.CompressedColorCount == static_cast<std::int32_t>(combinations.size()));
    FUZZ_CHECK(m.AlphaPixelCount == alphaPixels && m.TransparentPixelCount == transparentPixels);
    if (firstSeen.size() >= 254) {
        FUZZ_CHECK(m.PaletteColors.size() == 1 && m.PaletteAlphas.size() == 1);
        FUZZ_CHECK(m.PaletteColors[0] == 0 && m.PaletteAlphas[0] == 0);
        return;
    }
    FUZZ_CHECK(m.PaletteColors.size() == firstSeen.size() + 1 &&
               m.PaletteAlphas.size() == firstSeen.size() + 1);
    for (std::size_t k = 0; k < firstSeen.size(); ++k) {
        FUZZ_CHECK(m.PaletteColors[k] == firstSeen[k].first && m.PaletteAlphas[k] == firstSeen[k].second);
    }
    FUZZ_CHECK(m.PaletteColors.back() == 0 && m.PaletteAlphas.back() == 0);
}

void checkSameStatistics(const ImageModel& a, const ImageModel& b) {
    FUZZ_CHECK(a.Width == b.Width && a.Height == b.Height && a.BitDepth == b.BitDepth);
    FUZZ_CHECK(a.BmpFileSize == b.BmpFileSize && a.BmpDataOffset == b.BmpDataOffset);
    FUZZ_CHECK(a.WindowsColorCount == b.WindowsColorCount &&
               a.CompressedColorCount == b.CompressedColorCount);
    FUZZ_CHECK(a.AlphaPixelCount == b.AlphaPixelCount && a.TransparentPixelCount == b.TransparentPixelCount);
    FUZZ_CHECK(a.PaletteColors == b.PaletteColors && a.PaletteAlphas == b.PaletteAlphas);
}

bool samePixels(const std::vector<PixelRecord>& a, const std::vector<PixelRecord>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Color != b[i].Color || a[i].Alpha != b[i].Alpha) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    ImageModel decoded;
    const imaging::Status status = imaging::decodeBitmap(file, decoded);

    const auto path = fuzz::writeScratchFile("input.bmp", file);
    ImageModel loaded;
    const imaging::Status loadStatus = imaging::LoadBitmapImage(path, loaded);
    ImageModel inspected;
    const imaging::Status inspectStatus = imaging::inspectBitmapImage(path, inspected);
    FUZZ_CHECK(status.ok() == loadStatus.ok() && status.ok() == inspectStatus.ok());

    const Layout layout = layoutOf(file);
    if (!status) {
        FUZZ_CHECK(!layout.sound);
        FUZZ_CHECK(loadStatus.error().code == status.error().code);
        FUZZ_CHECK(inspectStatus.error().code == status.error().code);
        FUZZ_CHECK(!status.error().detail.empty());
        return 0;
    }
    if (!layout.bitFields) {
        FUZZ_CHECK(layout.sound);
        checkAgainstBytes(file, layout, decoded);
    }
    checkSameStatistics(decoded, loaded);
    checkSameStatistics(decoded, inspected);
    FUZZ_CHECK(samePixels(decoded.Pixels, loaded.Pixels));
    FUZZ_CHECK(inspected.Pixels.empty());
    return 0;
}
