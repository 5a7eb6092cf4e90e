#pragma once

// The RL writer in steps, so an image can be encoded row by row from any source: the checks and the bytes
// before the rows from the model's sizes, palette and counters, then one row at a time, top row first.

#include <cstdint>
#include <vector>

#include "image_model.h"
#include "palette_lookup.h"

namespace imaging::detail {

class RlEncoder {
public:
    // Applies every check that needs no pixel (palette size, sides, header size) and writes the header,
    // the palette, the alpha table and room for the row-length table.
    static Result<RlEncoder> start(const ImageModel& model);

    // Appends one row's codes (Width records); fails when they need more than 255 bytes.
    Status addRow(const PixelRecord* row);

    // The file, once every row has been added.
    std::vector<std::uint8_t> finish() && { return std::move(m_out); }

private:
    RlEncoder(const ImageModel& model, bool alphaTable) : m_palette(model, alphaTable) {}
    void flush(const PixelRecord* row, std::size_t start, std::size_t length, std::int32_t colour,
               std::int32_t level, bool asRun);

    PaletteLookup m_palette;
    std::vector<std::uint8_t> m_out;
    std::size_t m_width = 0;
    std::size_t m_rowTableOffset = 0;
    std::size_t m_rowsAdded = 0;
};

}  // namespace imaging::detail
