// The RL reader on arbitrary bytes, checked against a plain decoder of the layout: every read inside the
// file plus its one spare zero byte, every code inside its row, every index inside the palette, never more
// pixels than width x height. Whatever that decoder accepts the reader must accept with the same pixels
// (size limits aside), and the reader accepts nothing it refuses. A decoded pixel that is not opaque must
// leave the alpha flag set, or the bitmap writer would drop its transparency. (Pixels left undecoded by a
// short file stay transparent black without setting the flag, as they always have.)

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "image_model.h"

namespace {

using imaging::PixelRecord;

struct Decoded {
    std::vector<PixelRecord> pixels;
    std::size_t written = 0;  // pixels that codes gave a value; the rest stay transparent black
};

std::optional<Decoded> plainDecode(std::span<const std::uint8_t> f) {
    const std::size_t size = f.size();
    auto byte = [&](std::size_t at) -> std::uint32_t { return at < size ? f[at] : 0; };  // spare byte: 0
    auto word = [&](std::size_t at) { return byte(at) | (byte(at + 1) << 8); };
    if (size < 13) {
        return std::nullopt;
    }
    const std::uint32_t flag = word(2), width = word(4), height = word(6), p = word(8), r = word(10);
    const std::uint32_t key = word(12);
    if (flag > 1) {
        return std::nullopt;
    }
    const std::size_t table = 12 + (flag + 2) * std::size_t{p};
    if (p > 0 && table - 1 > size) {
        return std::nullopt;
    }
    auto colourOf = [&](std::uint32_t i) -> std::int32_t {
        if (i == 0 || i >= p) {
            return 0;
        }
        const std::uint32_t v = word(12 + 2 * i);
        return static_cast<std::int32_t>((v & key & 0xFF00) / 256 + 256 * ((v & ~key & 0xFFFF) / 8) +
                                         65536 * ((v & key & 0xFF) * 8));
    };
    auto alphaOf = [&](std::uint32_t i) -> std::int32_t {
        if (flag == 0) {
            return 255;
        }
        if (i >= p) {
            return 0;
        }
        const std::int32_t level = static_cast<std::int32_t>(byte(12 + 2 * std::size_t{p} + i));
        return level == 0 ? 0 : (8 * level - 1 > 255 ? 255 : 8 * level - 1);
    };

    std::vector<PixelRecord> pixels(std::size_t{width} * height, PixelRecord{0, 0});
    std::size_t next = 0;
    std::size_t at = table + r;
    for (std::size_t row = 0; row < r; ++row) {
        if (table + row > size) {
            return std::nullopt;
        }
        const std::size_t end = at + byte(table + row);
        if (end > size + 1) {
            return std::nullopt;
        }
        while (at < end) {
            std::uint32_t index = byte(at), count = 1;
            if (index >= 0xFE) {
                const std::size_t length = index == 0xFE ? 3 : 2;
                if (at + length > end) {
                    return std::nullopt;
                }
                count = byte(at + length - 1);
                index = index == 0xFE ? byte(at + 1) : 0;
                at += length;
            } else {
                at += 1;
            }
            if (count == 0) {
                continue;
            }
            if (index > p || count > pixels.size() - next) {
                return std::nullopt;
            }
            const PixelRecord pixel =
                index == 0 ? PixelRecord{0, 0} : PixelRecord{colourOf(index), alphaOf(index)};
            for (std::uint32_t k = 0; k < count; ++k) {
                pixels[next++] = pixel;
            }
        }
    }
    return Decoded{std::move(pixels), next};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    imaging::ImageModel model;
    const imaging::Status status = imaging::decodeCompressed(file, model);

    // Size limits are the reader's own choice. Up to 2^18 pixels nothing may be refused for size, and the
    // plain decoder runs; above, only the general properties are checked, so no input takes a second.
    constexpr std::uint64_t ComparedPixels = std::uint64_t{1} << 18;
    const std::uint64_t declared = size >= 8
                                       ? std::uint64_t{static_cast<std::uint32_t>(data[4] | (data[5] << 8))} *
                                             static_cast<std::uint32_t>(data[6] | (data[7] << 8))
                                       : 0;
    const auto expected = declared <= ComparedPixels ? plainDecode(file) : std::nullopt;
    if (!status) {
        FUZZ_CHECK(!expected);
        FUZZ_CHECK(!status.error().detail.empty());
        return 0;
    }
    FUZZ_CHECK(declared > ComparedPixels || expected);
    FUZZ_CHECK(model.RlSignature.size() == 2);
    FUZZ_CHECK(model.Width == model.RlWidth && model.Height == model.RlHeight);
    FUZZ_CHECK(model.Pixels.size() == static_cast<std::size_t>(model.Width) * model.Height);
    bool notOpaque = false;
    for (std::size_t i = 0; i < model.Pixels.size(); ++i) {
        const PixelRecord& pixel = model.Pixels[i];
        FUZZ_CHECK(pixel.Alpha >= 0 && pixel.Alpha <= 255);
        FUZZ_CHECK(pixel.Color >= 0);
        if (expected) {
            FUZZ_CHECK(pixel.Color == expected->pixels[i].Color && pixel.Alpha == expected->pixels[i].Alpha);
            notOpaque = notOpaque || (i < expected->written && pixel.Alpha != 255);
        }
    }
    FUZZ_CHECK(!notOpaque || model.RlAlphaFlag == 1);
    return 0;
}
