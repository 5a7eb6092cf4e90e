#include "assessment.h"

#include <algorithm>

#include "bmp_stream.h"
#include "fitter.h"
#include "rl_encoder.h"
#include "rl_runs.h"

namespace fitting {

namespace {

class Assessor {
public:
    explicit Assessor(const imaging::ImageModel& model)
        : m_withinPalette(model.CompressedColorCount <= imaging::rl::MaxPaletteColours) {}

    // Row lengths only matter while the palette fits; beyond it the image does not fit anyway.
    bool needsRows() const { return m_withinPalette; }

    void addRow(const imaging::PixelRecord* row, std::size_t width) {
        if (m_withinPalette) {
            addRowCodeBytes(imaging::rowCodeBytes(row, width));
        }
    }

    void addRowCodeBytes(std::size_t bytes) { m_longest = std::max(m_longest, bytes); }

    Assessment finish(const imaging::ImageModel& model, const SnappedCombinations& snapped) const {
        Assessment assessment;
        assessment.freeCombinations = snapped.count();
        if (m_withinPalette) {
            assessment.longestRowBytes = static_cast<std::int32_t>(m_longest);
        }
        // The checks plain compression makes before any row, then the rows.
        auto start = imaging::detail::RlEncoder::start(model);
        if (!start) {
            assessment.refusal = start.error().detail;
        } else if (m_longest > static_cast<std::size_t>(imaging::rl::MaxRowBytes)) {
            assessment.refusal = "the longest row needs " + std::to_string(m_longest) + " bytes of codes (at most " +
                                 std::to_string(imaging::rl::MaxRowBytes) + ")";
        } else {
            assessment.fits = true;
        }
        return assessment;
    }

private:
    bool m_withinPalette;
    std::size_t m_longest = 0;
};

}  // namespace

Assessment assessImage(const imaging::ImageModel& model) {
    Assessor assessor(model);
    SnappedCombinations snapped;
    const auto width = static_cast<std::size_t>(std::max(model.Width, 0));
    for (std::size_t start = 0; width > 0 && start + width <= model.Pixels.size(); start += width) {
        assessor.addRow(model.Pixels.data() + start, width);
        for (std::size_t x = 0; x < width; ++x) {
            snapped.add(model.Pixels[start + x]);
        }
    }
    return assessor.finish(model, snapped);
}

tarvik::Result<Assessment> assessBitmapFile(const std::filesystem::path& path, imaging::ImageModel& model) {
    // As compression reads it: the whole file once, statistics without pixel records, then the rows.
    tarvik::Result<std::vector<std::uint8_t>> file = imaging::readImageFile(path, imaging::Reader::Bitmap);
    if (!file) {
        return file.error();
    }
    // The statistics pass lists every distinct combination once; counting them as the file shows them
    // costs nothing per pixel, so an image beyond the palette needs no second pass at all.
    SnappedCombinations snapped;
    const imaging::detail::CombinationVisitor eachCombination = [&snapped](std::uint32_t rgb565, std::int32_t alpha) {
        snapped.addCombination(rgb565, alpha);
    };
    tarvik::Result<imaging::detail::BitmapLayout> scanned =
        imaging::detail::scanBitmapBytes(file.value(), model, false, &eachCombination);
    if (!scanned) {
        return scanned.error();
    }
    const imaging::detail::BitmapLayout& layout = scanned.value();
    std::vector<std::uint8_t> normalized(layout.normalize ? layout.rowStride : 0);
    Assessor assessor(model);
    for (std::uint64_t row = 0; assessor.needsRows() && row < layout.height; ++row) {
        const std::uint8_t* bytes = file->data() + layout.fileRowOffset(row);
        if (layout.normalize) {
            imaging::detail::normalizeRow(layout, bytes, normalized.data());
            bytes = normalized.data();
        }
        // Measured on the stored bytes: the same runs as on the records the encoder sees.
        assessor.addRowCodeBytes(layout.bytesPerPixel == 4
                                     ? imaging::detail::rowCodeBytesOf(imaging::detail::StoredRow<4>{bytes}, layout.width)
                                     : imaging::detail::rowCodeBytesOf(imaging::detail::StoredRow<3>{bytes}, layout.width));
    }
    return assessor.finish(model, snapped);
}

}  // namespace fitting
