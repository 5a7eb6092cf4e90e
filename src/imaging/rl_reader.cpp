#include <algorithm>
#include <new>

#include "bmp_format.h"
#include "bmp_stream.h"

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

namespace {

struct RlLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t paletteCount = 0;
    std::uint32_t rowCount = 0;
    std::size_t rowTableOffset = 0;
    bool hasAlphaTable = false;
    std::uint64_t pixelCount = 0;
};

// The header, palette and alpha table into the model, and the checks that need no pixel.
Result<RlLayout> readRlHeader(std::span<const std::uint8_t> file, ImageModel& model) {
    const SpareByteReader in(file);
    if (!in.has(rl::OffsetPalette + 1)) {
        return makeError(ErrorCode::Truncated, "shorter than the RL header");
    }
    model.RlSignature = std::string{static_cast<char>(in.byte(0)), static_cast<char>(in.byte(1))};
    const std::uint32_t flag = in.word(rl::OffsetAlphaFlag);
    RlLayout layout;
    layout.width = in.word(rl::OffsetWidth);
    layout.height = in.word(rl::OffsetHeight);
    layout.paletteCount = in.word(rl::OffsetPaletteCount);
    layout.rowCount = in.word(rl::OffsetRowCount);
    const std::uint16_t key = in.word(rl::OffsetPalette);
    model.RlAlphaFlag = static_cast<std::int32_t>(flag);
    model.RlWidth = static_cast<std::int32_t>(layout.width);
    model.RlHeight = static_cast<std::int32_t>(layout.height);
    model.RlPaletteCount = static_cast<std::int32_t>(layout.paletteCount);
    model.RlRowTableLength = static_cast<std::int32_t>(layout.rowCount);
    model.RlKeyColor = key;

    // The flag also places the row table (12 + (flag + 2) * P); any value but 0 or 1 would decode garbage.
    if (flag > 1) {
        return makeError(ErrorCode::Corrupt, "invalid alpha-table flag: " + std::to_string(flag));
    }
    layout.pixelCount = std::uint64_t{layout.width} * layout.height;
    if (layout.pixelCount > rl::MaxPixels) {
        return makeError(ErrorCode::TooLarge, "image too large: " + std::to_string(layout.width) + " x " +
                                                  std::to_string(layout.height) + " pixels");
    }
    if (layout.pixelCount > rl::TrustedPixels &&
        layout.pixelCount > std::uint64_t{rl::MaxRunPiece} * file.size()) {
        return makeError(ErrorCode::Corrupt, "declared size " + std::to_string(layout.width) + " x " +
                                                 std::to_string(layout.height) +
                                                 " is far beyond what the file holds");
    }
    layout.hasAlphaTable = flag == 1;
    const std::size_t alphaTableOffset = rl::OffsetPalette + 2 * std::size_t{layout.paletteCount};
    layout.rowTableOffset = rl::OffsetPalette + (flag + 2) * std::size_t{layout.paletteCount};
    if (layout.paletteCount > 0 && !in.has(layout.rowTableOffset - 1)) {
        return truncated();
    }

    // Masks from the key colour: 0xF81F gives the 5-6-5 fields 0xF800, 0x07E0 and 0x001F.
    const std::uint32_t redMask = key & 0xFF00u;
    const std::uint32_t greenMask = ~static_cast<std::uint32_t>(key) & 0xFFFFu;
    const std::uint32_t blueMask = key & 0x00FFu;
    // Slots 0..P: entry 0 and the slot past the end stay black.
    model.RlPalette.assign(std::size_t{layout.paletteCount} + 1, 0);
    for (std::size_t i = 1; i < layout.paletteCount; ++i) {
        const std::uint32_t v = in.word(rl::OffsetPalette + 2 * i);
        // Fields go to the top of each byte; the low bits stay 0 (0xF800 is red 248).
        const std::uint32_t red8 = (v & redMask) / 256;
        const std::uint32_t green8 = (v & greenMask) / 8;
        const std::uint32_t blue8 = (v & blueMask) * 8;
        model.RlPalette[i] = static_cast<std::int32_t>(red8 + 256 * green8 + 65536 * blue8);
    }
    model.RlAlphaTable.assign(std::size_t{layout.paletteCount} + 1, 0);
    if (layout.hasAlphaTable) {
        for (std::size_t i = 0; i < layout.paletteCount; ++i) {
            model.RlAlphaTable[i] = rl::alphaFromLevel(in.byte(alphaTableOffset + i));
        }
    }
    return layout;
}

// Every run of the file in order, checked, as visit(pixel index, palette index, count) with count > 0.
// Runs go on from row to row: a row of length 0 adds nothing, and the next row continues where it stood.
// Returns the number of pixels the runs cover.
template <class Visit>
Result<std::uint64_t> walkRuns(std::span<const std::uint8_t> file, const RlLayout& layout, Visit&& visit) {
    const SpareByteReader in(file);
    std::uint64_t pixelIndex = 0;
    auto emit = [&](std::uint32_t index, std::uint32_t count) -> Status {
        if (count == 0) {
            return {};
        }
        if (index > layout.paletteCount) {
            return makeError(ErrorCode::Corrupt, "palette index " + std::to_string(index) + " outside the palette");
        }
        if (count > layout.pixelCount - pixelIndex) {
            return makeError(ErrorCode::Corrupt, "more pixels than width x height");
        }
        visit(pixelIndex, index, count);
        pixelIndex += count;
        return {};
    };
    const std::size_t rowTableOffset = layout.rowTableOffset;
    std::size_t codeOffset = rowTableOffset + layout.rowCount;
    for (std::size_t row = 0; row < layout.rowCount; ++row) {
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
                    return makeError(ErrorCode::Corrupt, "a run code crosses the end of row " + std::to_string(row));
                }
                index = code == rl::CodeRun ? in.byte(codeOffset + 1) : 0;
                count = in.byte(codeOffset + codeBytes - 1);
            }
            if (Status status = emit(index, count); !status) {
                return status.error();
            }
            codeOffset += codeBytes;
        }
    }
    return pixelIndex;
}

// What the model holds after a load, beside the pixels.
void finishLoad(const RlLayout& layout, bool sawTransparent, ImageModel& model) {
    // After a load, a non-zero flag means "has transparency or an alpha table": the bitmap writer then keeps
    // alpha.
    if (sawTransparent) {
        model.RlAlphaFlag = 1;
    }
    model.Width = static_cast<std::int32_t>(layout.width);
    model.Height = static_cast<std::int32_t>(layout.height);
    model.BitDepth = 32;
}

PixelRecord entryPixel(const ImageModel& model, const RlLayout& layout, std::uint32_t index) {
    if (index == 0) {
        return PixelRecord{0, 0};
    }
    return PixelRecord{model.RlPalette[index], layout.hasAlphaTable ? model.RlAlphaTable[index] : 255};
}

// Header, checks and counts without any pixel: what a report and a streaming conversion need first.
Result<RlLayout> inspectRl(std::span<const std::uint8_t> file, ImageModel& model, AlphaCounts& counts) {
    Result<RlLayout> layout = readRlHeader(file, model);
    if (!layout) {
        return layout.error();
    }
    const RlLayout& l = layout.value();
    bool sawTransparent = false;
    counts = AlphaCounts{};
    Result<std::uint64_t> covered = walkRuns(file, l, [&](std::uint64_t, std::uint32_t index, std::uint32_t count) {
        const PixelRecord pixel = entryPixel(model, l, index);
        sawTransparent = sawTransparent || index == 0;
        counts.alphaPixels += pixel.Alpha < 255 ? count : 0;
        counts.transparentPixels += pixel.Alpha == 0 ? count : 0;
    });
    if (!covered) {
        return covered.error();
    }
    // Pixels no run reaches stay transparent black.
    const auto uncovered = static_cast<std::int64_t>(l.pixelCount - *covered);
    counts.alphaPixels += uncovered;
    counts.transparentPixels += uncovered;
    finishLoad(l, sawTransparent, model);
    return layout;
}

}  // namespace

std::string notEnoughMemory(std::uint64_t width, std::uint64_t height) {
    return "not enough memory for a " + std::to_string(width) + "\u00D7" + std::to_string(height) + " image";
}

Status decodeCompressed(std::span<const std::uint8_t> file, ImageModel& model) {
    Result<RlLayout> parsed = readRlHeader(file, model);
    if (!parsed) {
        return parsed.error();
    }
    const RlLayout& layout = parsed.value();
    try {
        model.Pixels.assign(static_cast<std::size_t>(layout.pixelCount), PixelRecord{0, 0});
    } catch (const std::bad_alloc&) {
        std::vector<PixelRecord>().swap(model.Pixels);
        return makeError(ErrorCode::OutOfMemory, notEnoughMemory(layout.width, layout.height));
    }
    bool sawTransparent = false;
    Result<std::uint64_t> covered =
        walkRuns(file, layout, [&](std::uint64_t at, std::uint32_t index, std::uint32_t count) {
            if (index == 0) {
                sawTransparent = true;  // the records are transparent black already
                return;
            }
            std::fill_n(model.Pixels.data() + at, count, entryPixel(model, layout, index));
        });
    if (!covered) {
        return covered.error();
    }
    finishLoad(layout, sawTransparent, model);
    return {};
}

Status inspectCompressed(std::span<const std::uint8_t> file, ImageModel& model, AlphaCounts& counts) {
    Result<RlLayout> layout = inspectRl(file, model, counts);
    return layout ? Status{} : Status{layout.error()};
}

Status inspectCompressedImage(const std::filesystem::path& path, ImageModel& model, AlphaCounts& counts) {
    Result<std::vector<std::uint8_t>> bytes = readImageFile(path, Reader::Compressed);
    if (!bytes) {
        return bytes.error();
    }
    return inspectCompressed(bytes.value(), model, counts);
}

Status writeDecompressed(std::span<const std::uint8_t> file, ImageModel& model, tarvik::AtomicFileWriter& out) {
    AlphaCounts counts;
    Result<RlLayout> parsed = inspectRl(file, model, counts);
    if (!parsed) {
        return parsed.error();
    }
    const RlLayout& layout = parsed.value();
    Result<std::vector<std::uint8_t>> header = detail::bitmapHeaderFor(model);
    if (!header) {
        return header.error();
    }
    out.write(header.value());
    const int bytesPerPixel = model.RlAlphaFlag != 0 ? 4 : 3;
    const std::uint64_t width = layout.width, height = layout.height;
    const std::uint64_t stride = (width * static_cast<std::uint64_t>(bytesPerPixel) + 3) / 4 * 4;
    // Rows come top row first and are stored bottom row first: a block of rows is filled from its end and
    // written where those rows lie in the file, so memory stays at one block whatever the image.
    const std::uint64_t rowsPerBlock = std::max<std::uint64_t>(1, (std::uint64_t{1} << 20) / stride);
    std::vector<std::uint8_t> block;
    try {
        block.assign(static_cast<std::size_t>(std::min(rowsPerBlock, height) * stride), 0);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::OutOfMemory, notEnoughMemory(width, height));
    }
    std::uint64_t blockFirst = 0;  // top-down number of the block's first row
    std::uint64_t blockRows = std::min(rowsPerBlock, height);
    auto flush = [&] {
        const std::uint64_t fileRow = height - blockFirst - blockRows;  // bottom-up number of its last row
        out.writeAt(std::span<const std::uint8_t>(block.data(), static_cast<std::size_t>(blockRows * stride)),
                    bmp::HeaderBytes + fileRow * stride);
        blockFirst += blockRows;
        blockRows = std::min(rowsPerBlock, height - blockFirst);
        std::fill(block.begin(), block.end(), 0);
    };
    auto put = [&](std::uint64_t pixel, const PixelRecord& record) {
        const std::uint64_t row = pixel / width - blockFirst;
        std::uint8_t* dst = block.data() + (blockRows - 1 - row) * stride + (pixel % width) * bytesPerPixel;
        const auto color = static_cast<std::uint32_t>(record.Color);
        dst[0] = static_cast<std::uint8_t>(color >> 16);
        dst[1] = static_cast<std::uint8_t>(color >> 8);
        dst[2] = static_cast<std::uint8_t>(color);
        if (bytesPerPixel == 4) {
            dst[3] = static_cast<std::uint8_t>(record.Alpha);
        }
    };
    Result<std::uint64_t> covered =
        walkRuns(file, layout, [&](std::uint64_t at, std::uint32_t index, std::uint32_t count) {
            const PixelRecord record = entryPixel(model, layout, index);
            for (std::uint64_t p = at; p < at + count; ++p) {
                while (p >= (blockFirst + blockRows) * width) {
                    flush();
                }
                if (index != 0) {
                    put(p, record);
                }
            }
        });
    if (!covered) {
        return covered.error();
    }
    while (blockFirst < height) {
        flush();
    }
    return {};
}

Status decompressFile(const std::filesystem::path& rlFile, const std::filesystem::path& target, ImageModel& model,
                      std::optional<mode_t> newPermissions) {
    if (target.empty()) {
        return tarvik::outputError(ErrorCode::Io, "no destination given");
    }
    Result<std::vector<std::uint8_t>> bytes = readImageFile(rlFile, Reader::Compressed);
    if (!bytes) {
        return bytes.error();
    }
    tarvik::AtomicFileWriter out(target, newPermissions);
    if (Status status = writeDecompressed(bytes.value(), model, out); !status) {
        return status;
    }
    return out.commit();
}

Status LoadCompressedImage(const std::filesystem::path& path, ImageModel& model) {
    return loadDecoded(readImageFile(path, Reader::Compressed), decodeCompressed, model);
}

}  // namespace imaging
