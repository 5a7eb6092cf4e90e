#pragma once

// Sets of 24-bit keys for the bitmap reader's statistics: distinct colours (0xBBGGRR) and distinct
// 5-6-5 colour/alpha combinations (rgb565 << 8 | alpha). Both are sized so that a small image pays
// for a few kilobytes and a large one for at most 2 MiB each, with no allocation per pixel.

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace imaging::detail {

// Bitset over the whole 24-bit key space, allocated in 512-byte blocks as keys arrive: a block covers
// 4096 neighbouring keys (for combinations: 16 neighbouring 5-6-5 colours with their 256 alphas each).
class SparseBitset24 {
public:
    explicit SparseBitset24(std::uint64_t expectedKeys) {
        const std::uint64_t blocks = expectedKeys < BlockCount ? expectedKeys : BlockCount;
        m_words.reserve(static_cast<std::size_t>(blocks) * WordsPerBlock);
    }

    // True when the key was not in the set yet.
    bool insert(std::uint32_t key) {
        const std::uint32_t top = key >> BlockShift;
        std::uint32_t block = m_blockOf[top];
        if (block == 0) {
            m_words.resize(m_words.size() + WordsPerBlock);
            block = static_cast<std::uint32_t>(m_words.size() / WordsPerBlock);
            m_blockOf[top] = static_cast<std::uint16_t>(block);
        }
        std::uint64_t& word = m_words[(block - 1) * WordsPerBlock + ((key >> 6) & (WordsPerBlock - 1))];
        const std::uint64_t bit = std::uint64_t{1} << (key & 63);
        const bool added = (word & bit) == 0;
        word |= bit;
        return added;
    }

private:
    static constexpr std::uint32_t BlockShift = 12;
    static constexpr std::uint32_t BlockCount = 1u << (24 - BlockShift);
    static constexpr std::uint32_t WordsPerBlock = (1u << BlockShift) / 64;

    std::array<std::uint16_t, BlockCount> m_blockOf{};  // block number + 1; 0 = not allocated
    std::vector<std::uint64_t> m_words;
};

// Open-addressing set for images with few pixels: never more keys than pixels, so half-full at most.
class SmallKeySet {
public:
    explicit SmallKeySet(std::uint64_t maxKeys) {
        const std::uint64_t wanted = maxKeys * 2 < 16 ? 16 : maxKeys * 2;
        const unsigned bits = static_cast<unsigned>(std::bit_width(wanted - 1));
        m_shift = 32 - bits;
        m_slots.assign(std::size_t{1} << bits, 0);
    }

    bool insert(std::uint32_t key) {
        const std::uint32_t stored = key + 1;  // 0 marks an empty slot
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = (key * 0x9E3779B1u) >> m_shift;
        while (m_slots[slot] != 0) {
            if (m_slots[slot] == stored) {
                return false;
            }
            slot = (slot + 1) & mask;
        }
        m_slots[slot] = stored;
        return true;
    }

private:
    std::vector<std::uint32_t> m_slots;
    unsigned m_shift = 0;
};

}  // namespace imaging::detail
