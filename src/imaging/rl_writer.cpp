#include "byte_order.h"
#include "file_io.h"
#include "image_model.h"
#include "palette_lookup.h"
#include "rl_format.h"

namespace imaging {

namespace {

using detail::appendU16;
using tarvik::makeError;

class RowEncoder {
public:
    RowEncoder(const detail::PaletteLookup& palette, std::vector<std::uint8_t>& out)
        : m_palette(palette), m_out(out) {}

    // Appends the codes of one row, left to right.
    void encode(const PixelRecord* row, std::size_t width) {
        m_row = row;
        std::size_t runStart = 0;
        std::int32_t runColour = ToRgb565(row[0].Color);
        std::int32_t runLevel = rl::alphaLevel(row[0].Alpha);
        for (std::size_t x = 1; x < width; ++x) {
            const PixelRecord& pixel = row[x];
            if (pixel.Color == row[x - 1].Color && pixel.Alpha == row[x - 1].Alpha) {
                continue;  // same value as its neighbour: same colour and level, the run goes on
            }
            const std::int32_t colour = ToRgb565(pixel.Color);
            const std::int32_t level = rl::alphaLevel(pixel.Alpha);
            // Transparent pixels join a transparent run whatever their colour.
            if (level == runLevel && (colour == runColour || runLevel == 0)) {
                continue;
            }
            // Mid-row, a visible run needs 4 pixels and a transparent one 3 to be worth a run code.
            const std::size_t length = x - runStart;
            const bool asRun = runLevel == 0 ? length > 2 : length > 3;
            flush(runStart, length, runColour, runLevel, asRun);
            runStart = x;
            runColour = colour;
            runLevel = level;
        }
        // At the end of a row every run needs 4 pixels, transparent ones too.
        const std::size_t length = width - runStart;
        flush(runStart, length, runColour, runLevel, length > 3);
    }

private:
    void flush(std::size_t start, std::size_t length, std::int32_t colour, std::int32_t level, bool asRun) {
        if (!asRun) {
            // Each pixel by its own entry: pixels of one run may differ in alpha within the level.
            for (std::size_t i = start; i < start + length; ++i) {
                m_out.push_back(
                    static_cast<std::uint8_t>(m_palette.find(ToRgb565(m_row[i].Color), m_row[i].Alpha)));
            }
            return;
        }
        // The whole run takes the entry of its first pixel.
        const auto index =
            static_cast<std::uint8_t>(level == 0 ? 0 : m_palette.find(colour, m_row[start].Alpha));
        while (length > 0) {
            const std::size_t piece = length > rl::MaxRunPiece ? rl::MaxRunPiece : length;
            if (level == 0) {
                m_out.push_back(rl::CodeTransparentRun);
            } else {
                m_out.push_back(rl::CodeRun);
                m_out.push_back(index);
            }
            m_out.push_back(static_cast<std::uint8_t>(piece));
            length -= piece;
        }
    }

    const detail::PaletteLookup& m_palette;
    std::vector<std::uint8_t>& m_out;
    const PixelRecord* m_row = nullptr;
};

}  // namespace

Result<std::vector<std::uint8_t>> encodeCompressed(const ImageModel& model) {
    if (model.CompressedColorCount > rl::MaxPaletteColours) {
        return makeError(ErrorCode::TooManyColours,
                         "too many colour/alpha combinations: " + std::to_string(model.CompressedColorCount) +
                             " (at most " + std::to_string(rl::MaxPaletteColours) + ")");
    }
    if (model.Width > rl::MaxSide || model.Height > rl::MaxSide) {
        return makeError(ErrorCode::TooLarge,
                         "image too large for an RL file: " + std::to_string(model.Width) + " x " +
                             std::to_string(model.Height) + " pixels (at most 65535 a side)");
    }
    if (model.Width <= 0 || model.Height <= 0) {
        return makeError(ErrorCode::Corrupt, "no image to write: " + std::to_string(model.Width) + " x " +
                                                 std::to_string(model.Height) + " pixels");
    }
    const auto width = static_cast<std::size_t>(model.Width);
    const auto height = static_cast<std::size_t>(model.Height);
    if (model.Pixels.size() != width * height) {
        return makeError(ErrorCode::Corrupt, "the image holds " + std::to_string(model.Pixels.size()) +
                                                 " pixels, not " + std::to_string(width * height));
    }
    const auto colours =
        static_cast<std::size_t>(model.CompressedColorCount < 0 ? 0 : model.CompressedColorCount);
    if (model.PaletteColors.size() < colours || model.PaletteAlphas.size() < colours) {
        return makeError(ErrorCode::Corrupt, "the palette has fewer entries than CompressedColorCount");
    }

    // An alpha table only when some pixel is neither opaque nor fully transparent.
    const bool alphaTable = model.AlphaPixelCount > 0 && model.AlphaPixelCount != model.TransparentPixelCount;
    const std::size_t paletteCount = colours + 1;
    const std::size_t rowTableOffset = rl::OffsetPalette + 2 * paletteCount + (alphaTable ? paletteCount : 0);
    if (rowTableOffset + height + 2 > static_cast<std::size_t>(rl::MaxTableEnd)) {
        return makeError(ErrorCode::TooLarge,
                         "image too tall for an RL file: header and row table would need " +
                             std::to_string(rowTableOffset + height + 2) + " bytes (at most " +
                             std::to_string(rl::MaxTableEnd) + ")");
    }
    const detail::PaletteLookup palette(model, alphaTable);

    std::vector<std::uint8_t> out;
    out.reserve(rowTableOffset + height * 16);
    out.push_back('R');
    out.push_back('L');
    appendU16(out, alphaTable ? 1 : 0);
    appendU16(out, static_cast<std::uint32_t>(width));
    appendU16(out, static_cast<std::uint32_t>(height));
    appendU16(out, static_cast<std::uint32_t>(paletteCount));
    appendU16(out, static_cast<std::uint32_t>(height));
    appendU16(out, rl::KeyColor565);
    for (std::size_t k = 0; k < colours; ++k) {
        appendU16(out, static_cast<std::uint32_t>(model.PaletteColors[k]) & 0xFFFF);
    }
    if (alphaTable) {
        out.push_back(rl::KeyAlphaLevel);
        for (std::size_t k = 0; k < colours; ++k) {
            out.push_back(rl::alphaTableByte(model.PaletteAlphas[k]));
        }
    }
    out.resize(rowTableOffset + height, 0);  // row-length table, filled in as the rows are encoded

    RowEncoder encoder(palette, out);
    // Pixels hold the bottom row first; RL stores the top row first.
    for (std::size_t n = 0; n < height; ++n) {
        const std::size_t rowStart = out.size();
        encoder.encode(model.Pixels.data() + (height - 1 - n) * width, width);
        const std::size_t rowBytes = out.size() - rowStart;
        if (rowBytes > static_cast<std::size_t>(rl::MaxRowBytes)) {
            return makeError(ErrorCode::RowTooLong, "row " + std::to_string(n + 1) + " from the top needs " +
                                                        std::to_string(rowBytes) +
                                                        " bytes of codes (at most " +
                                                        std::to_string(rl::MaxRowBytes) + ")");
        }
        out[rowTableOffset + n] = static_cast<std::uint8_t>(rowBytes);
    }
    return out;
}

Status SaveCompressedImage(const std::filesystem::path& path, const ImageModel& model) {
    if (path.empty()) {
        return makeError(ErrorCode::Io, "no destination given");
    }
    Result<std::vector<std::uint8_t>> bytes = encodeCompressed(model);
    if (!bytes) {
        return bytes.error();
    }
    return tarvik::writeFileAtomically(path, bytes.value());
}

}  // namespace imaging
