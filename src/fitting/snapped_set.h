#pragma once

// The set of values an RL file can show (5-6-5 colour and 32 visible alpha levels: 2^21 of them) as a
// 256 KiB bitset, so counting the combinations of a photo costs no more than those of an icon.

#include <cstdint>
#include <vector>

#include "fitter.h"

namespace fitting::detail {

class SnappedSet {
public:
    SnappedSet() : m_bits((std::size_t{1} << 21) / 64, 0) {}

    // Adds the pixel as the file shows it; transparent pixels take no entry and are left out.
    void insert(const imaging::PixelRecord& pixel) {
        const imaging::PixelRecord shown = snapToRl(pixel);
        if (shown.Alpha == 0) {
            return;
        }
        const std::uint32_t key = (static_cast<std::uint32_t>(imaging::ToRgb565(shown.Color)) << 5) |
                                  static_cast<std::uint32_t>((shown.Alpha + 1) / 8 - 1);
        std::uint64_t& word = m_bits[key >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (key & 63);
        m_count += (word & bit) == 0 ? 1 : 0;
        word |= bit;
    }

    std::int32_t size() const { return m_count; }

private:
    std::vector<std::uint64_t> m_bits;
    std::int32_t m_count = 0;
};

}  // namespace fitting::detail
