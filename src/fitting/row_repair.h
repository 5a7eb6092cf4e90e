#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "image_model.h"

namespace fitting::detail {

// Brings every row of `image` within 255 bytes of codes. In each row that overflows, neighbouring runs are
// merged into one, taking the value of one of them, cheapest change (measured against `input`) per byte
// saved first, until the row fits; rows that fit are left alone and no new value is made. `image` holds
// values the RL file shows exactly. Gives the number of rows changed, or the reason a row cannot fit.
tarvik::Result<std::int32_t> repairRows(std::vector<imaging::PixelRecord>& image,
                                        std::span<const imaging::PixelRecord> input, std::size_t width,
                                        std::size_t height);

}  // namespace fitting::detail
