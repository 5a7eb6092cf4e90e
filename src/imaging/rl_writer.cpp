#include "byte_order.h"
#include "file_io.h"
#include "rl_encoder.h"
#include "rl_format.h"
#include "rl_runs.h"

namespace imaging {

namespace detail {

using tarvik::makeError;

Result<RlEncoder> RlEncoder::start(const ImageModel& model) {
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
    const auto colours =
        static_cast<std::size_t>(model.CompressedColorCount < 0 ? 0 : model.CompressedColorCount);
    if (model.PaletteColors.size() < colours || model.PaletteAlphas.size() < colours) {
        return makeError(ErrorCode::Corrupt, "the palette has fewer entries than CompressedColorCount");
    }
    const auto height = static_cast<std::size_t>(model.Height);

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

    RlEncoder encoder(model, alphaTable);
    encoder.m_width = static_cast<std::size_t>(model.Width);
    encoder.m_rowTableOffset = rowTableOffset;
    std::vector<std::uint8_t>& out = encoder.m_out;
    out.reserve(rowTableOffset + height * 16);
    out.push_back('R');
    out.push_back('L');
    appendU16(out, alphaTable ? 1 : 0);
    appendU16(out, static_cast<std::uint32_t>(model.Width));
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
    out.resize(rowTableOffset + height, 0);  // the row-length table, filled in as rows are added
    return encoder;
}

Status RlEncoder::addRow(const PixelRecord* row) {
    const std::size_t rowStart = m_out.size();
    forEachRun(row, m_width, [this, row](std::size_t start, std::size_t length, std::int32_t colour,
                                         std::int32_t level, bool asRun) {
        flush(row, start, length, colour, level, asRun);
    });

    const std::size_t rowBytes = m_out.size() - rowStart;
    if (rowBytes > static_cast<std::size_t>(rl::MaxRowBytes)) {
        return makeError(ErrorCode::RowTooLong, "row " + std::to_string(m_rowsAdded + 1) +
                                                    " from the top needs " + std::to_string(rowBytes) +
                                                    " bytes of codes (at most " +
                                                    std::to_string(rl::MaxRowBytes) + ")");
    }
    m_out[m_rowTableOffset + m_rowsAdded] = static_cast<std::uint8_t>(rowBytes);
    ++m_rowsAdded;
    return {};
}

void RlEncoder::flush(const PixelRecord* row, std::size_t start, std::size_t length, std::int32_t colour,
                      std::int32_t level, bool asRun) {
    if (!asRun) {
        // Each pixel by its own entry: pixels of one run may differ in alpha within the level.
        for (std::size_t i = start; i < start + length; ++i) {
            const std::int16_t index = m_palette.find(ToRgb565(row[i].Color), row[i].Alpha);
            m_out.push_back(static_cast<std::uint8_t>(index));
        }
        return;
    }
    // The whole run takes the entry of its first pixel.
    const auto index = static_cast<std::uint8_t>(level == 0 ? 0 : m_palette.find(colour, row[start].Alpha));
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

}  // namespace detail

Result<std::vector<std::uint8_t>> encodeCompressed(const ImageModel& model) {
    Result<detail::RlEncoder> encoder = detail::RlEncoder::start(model);
    if (!encoder) {
        return encoder.error();
    }
    const auto width = static_cast<std::size_t>(model.Width);
    const auto height = static_cast<std::size_t>(model.Height);
    if (model.Pixels.size() != width * height) {
        return tarvik::makeError(ErrorCode::Corrupt, "the image holds " +
                                                         std::to_string(model.Pixels.size()) +
                                                         " pixels, not " + std::to_string(width * height));
    }
    // Pixels hold the bottom row first; RL stores the top row first.
    for (std::size_t n = 0; n < height; ++n) {
        if (Status status = encoder->addRow(model.Pixels.data() + (height - 1 - n) * width); !status) {
            return status.error();
        }
    }
    return std::move(encoder.value()).finish();
}

Status SaveCompressedImage(const std::filesystem::path& path, const ImageModel& model) {
    return saveEncoded(path, model, encodeCompressed);
}

}  // namespace imaging
