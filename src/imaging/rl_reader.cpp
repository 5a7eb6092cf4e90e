#include <algorithm>

#include "file_io.h"
#include "image_model.h"
#include "rl_format.h"

namespace imaging {

namespace {

using tarvik::makeError;

// The file as the reader sees it: its bytes followed by one spare zero byte. Files one byte short of
// their last row have always decoded that way (the missing byte reads as 0), so the spare byte stays;
// anything further out is a failure.
class SpareByteReader {
public:
    explicit SpareByteReader(std::span<const std::uint8_t> file) : m_file(file) {}

    bool has(std::size_t offset) const { return offset <= m_file.size(); }
    std::uint8_t byte(std::size_t offset) const { return offset < m_file.size() ? m_file[offset] : 0; }
    std::uint16_t word(std::size_t offset) const {
        return static_cast<std::uint16_t>(byte(offset) | (byte(offset + 1) << 8));
    }

private:
    std::span<const std::uint8_t> m_file;
};

Error truncated() {
    return makeError(ErrorCode::Truncated, "truncated RL data");
}

}  // namespace

Status decodeCompressed(std::span<const std::uint8_t> file, ImageModel& model) {
    const SpareByteReader in(file);
    if (!in.has(rl::OffsetPalette + 1)) {
        return makeError(ErrorCode::Truncated, "shorter than the RL header");
    }
    model.RlSignature = std::string{static_cast<char>(in.byte(0)), static_cast<char>(in.byte(1))};
    const std::uint32_t flag = in.word(rl::OffsetAlphaFlag);
    const std::uint32_t width = in.word(rl::OffsetWidth);
    const std::uint32_t height = in.word(rl::OffsetHeight);
    const std::uint32_t paletteCount = in.word(rl::OffsetPaletteCount);
    const std::uint32_t rowCount = in.word(rl::OffsetRowCount);
    const std::uint16_t key = in.word(rl::OffsetPalette);
    model.RlAlphaFlag = static_cast<std::int32_t>(flag);
    model.RlWidth = static_cast<std::int32_t>(width);
    model.RlHeight = static_cast<std::int32_t>(height);
    model.RlPaletteCount = static_cast<std::int32_t>(paletteCount);
    model.RlRowTableLength = static_cast<std::int32_t>(rowCount);
    model.RlKeyColor = key;

    // The flag also places the row table (12 + (flag + 2) * P); any value but 0 or 1 would decode garbage.
    if (flag > 1) {
        return makeError(ErrorCode::Corrupt, "invalid alpha-table flag: " + std::to_string(flag));
    }
    const std::uint64_t pixelCount = std::uint64_t{width} * height;
    if (pixelCount > rl::MaxPixels) {
        return makeError(ErrorCode::TooLarge, "image too large: " + std::to_string(width) + " x " +
                                                  std::to_string(height) + " pixels");
    }
    if (pixelCount > rl::TrustedPixels && pixelCount > std::uint64_t{rl::MaxRunPiece} * file.size()) {
        return makeError(ErrorCode::Corrupt, "declared size " + std::to_string(width) + " x " +
                                                 std::to_string(height) +
                                                 " is far beyond what the file holds");
    }
    const bool hasAlphaTable = flag == 1;
    const std::size_t alphaTableOffset = rl::OffsetPalette + 2 * std::size_t{paletteCount};
    const std::size_t rowTableOffset = rl::OffsetPalette + (flag + 2) * std::size_t{paletteCount};
    if (paletteCount > 0 && !in.has(rowTableOffset - 1)) {
        return truncated();
    }

    // Masks from the key colour: 0xF81F gives the 5-6-5 fields 0xF800, 0x07E0 and 0x001F.
    const std::uint32_t redMask = key & 0xFF00u;
    const std::uint32_t greenMask = ~static_cast<std::uint32_t>(key) & 0xFFFFu;
    const std::uint32_t blueMask = key & 0x00FFu;
    // Slots 0..P: entry 0 and the slot past the end stay black.
    model.RlPalette.assign(std::size_t{paletteCount} + 1, 0);
    for (std::size_t i = 1; i < paletteCount; ++i) {
        const std::uint32_t v = in.word(rl::OffsetPalette + 2 * i);
        // Fields go to the top of each byte; the low bits stay 0 (0xF800 is red 248).
        const std::uint32_t red8 = (v & redMask) / 256;
        const std::uint32_t green8 = (v & greenMask) / 8;
        const std::uint32_t blue8 = (v & blueMask) * 8;
        model.RlPalette[i] = static_cast<std::int32_t>(red8 + 256 * green8 + 65536 * blue8);
    }
    model.RlAlphaTable.assign(std::size_t{paletteCount} + 1, 0);
    if (hasAlphaTable) {
        for (std::size_t i = 0; i < paletteCount; ++i) {
            model.RlAlphaTable[i] = rl::alphaFromLevel(in.byte(alphaTableOffset + i));
        }
    }

    model.Pixels.assign(static_cast<std::size_t>(pixelCount), PixelRecord{0, 0});
    std::size_t pixelIndex = 0;
    bool sawTransparent = false;
    // Runs on from row to row: a row of length 0 adds nothing, and the next row continues where it stood.
    auto emit = [&](std::uint32_t index, std::uint32_t count) -> Status {
        if (count == 0) {
            return {};
        }
        if (index > paletteCount) {
            return makeError(ErrorCode::Corrupt,
                             "palette index " + std::to_string(index) + " outside the palette");
        }
        if (count > pixelCount - pixelIndex) {
            return makeError(ErrorCode::Corrupt, "more pixels than width x height");
        }
        PixelRecord* out = model.Pixels.data() + pixelIndex;
        pixelIndex += count;
        if (index == 0) {
            sawTransparent = true;  // the records are transparent black already
            return {};
        }
        const PixelRecord pixel{model.RlPalette[index], hasAlphaTable ? model.RlAlphaTable[index] : 255};
        std::fill(out, out + count, pixel);
        return {};
    };

    std::size_t codeOffset = rowTableOffset + rowCount;
    for (std::size_t row = 0; row < rowCount; ++row) {
        if (!in.has(rowTableOffset + row)) {
            return truncated();
        }
        const std::size_t rowEnd = codeOffset + in.byte(rowTableOffset + row);
        if (rowEnd > codeOffset && !in.has(rowEnd - 1)) {
            return truncated();
        }
        while (codeOffset < rowEnd) {
            const std::uint8_t code = in.byte(codeOffset);
            std::uint32_t index = code;
            std::uint32_t count = 1;
            std::size_t codeBytes = 1;
            if (code == rl::CodeTransparentRun || code == rl::CodeRun) {
                codeBytes = code == rl::CodeRun ? 3 : 2;
                if (codeOffset + codeBytes > rowEnd) {
                    return makeError(ErrorCode::Corrupt,
                                     "a run code crosses the end of row " + std::to_string(row));
                }
                index = code == rl::CodeRun ? in.byte(codeOffset + 1) : 0;
                count = in.byte(codeOffset + codeBytes - 1);
            }
            if (Status status = emit(index, count); !status) {
                return status;
            }
            codeOffset += codeBytes;
        }
    }

    // After a load, a non-zero flag means "has transparency or an alpha table": the bitmap writer then keeps
    // alpha.
    if (sawTransparent) {
        model.RlAlphaFlag = 1;
    }
    model.Width = static_cast<std::int32_t>(width);
    model.Height = static_cast<std::int32_t>(height);
    model.BitDepth = 32;
    return {};
}

Status LoadCompressedImage(const std::filesystem::path& path, ImageModel& model) {
    Result<std::vector<std::uint8_t>> bytes = readImageFile(path, Reader::Compressed);
    if (!bytes) {
        return bytes.error();
    }
    return decodeCompressed(bytes.value(), model);
}

}  // namespace imaging
