#pragma once

// The RL palette index (1-based) of the first palette entry with a 5-6-5 colour (and, when the alpha table
// is written, that alpha); 0 for alpha 0 or no match. A hash look-up: the RL writer asks once per run.

#include <algorithm>
#include <array>
#include <cstdint>

#include "image_model.h"

namespace imaging::detail {

class PaletteLookup {
public:
    PaletteLookup(const ImageModel& model, bool alphaTableFlag) : m_alphaTableFlag(alphaTableFlag) {
        std::size_t entries = std::min(model.PaletteColors.size(), model.PaletteAlphas.size());
        if (model.CompressedColorCount >= 0 &&
            static_cast<std::size_t>(model.CompressedColorCount) < entries) {
            entries = static_cast<std::size_t>(model.CompressedColorCount);
        }
        // The writer refuses palettes above 253 colours before it looks anything up; the cap only keeps
        // the table from filling up.
        entries = std::min(entries, Slots / 2);
        for (std::size_t k = 0; k < entries; ++k) {
            const std::uint64_t key = keyOf(model.PaletteColors[k], model.PaletteAlphas[k]);
            std::size_t slot = slotOf(key);
            while (m_keys[slot] != 0 && m_keys[slot] != key + 1) {
                slot = (slot + 1) % Slots;
            }
            if (m_keys[slot] == 0) {  // the first entry of a colour (and alpha) wins
                m_keys[slot] = key + 1;
                m_indexes[slot] = static_cast<std::int16_t>(k + 1);
            }
        }
    }

    std::int16_t find(std::int32_t rgb565, std::int32_t alpha) const {
        if (alpha == 0) {
            return 0;
        }
        const std::uint64_t key = keyOf(rgb565, alpha);
        for (std::size_t slot = slotOf(key); m_keys[slot] != 0; slot = (slot + 1) % Slots) {
            if (m_keys[slot] == key + 1) {
                return m_indexes[slot];
            }
        }
        return 0;
    }

private:
    static constexpr std::size_t Slots = 1024;

    std::uint64_t keyOf(std::int32_t rgb565, std::int32_t alpha) const {
        const std::uint64_t colour = static_cast<std::uint32_t>(rgb565);
        return m_alphaTableFlag ? (colour << 32) | static_cast<std::uint32_t>(alpha) : colour;
    }
    static std::size_t slotOf(std::uint64_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 54);  // 10 bits: 1024 slots
    }

    bool m_alphaTableFlag;
    std::array<std::uint64_t, Slots> m_keys{};  // key + 1; 0 = empty
    std::array<std::int16_t, Slots> m_indexes{};
};

}  // namespace imaging::detail
