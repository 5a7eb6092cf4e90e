#pragma once

// Sets of 24-bit keys for counting what an image holds: distinct colours (0xBBGGRR) and distinct
// 5-6-5 colour/alpha combinations (rgb565 << 8 | alpha), in the bitmap reader's statistics and in fitting. The cost is linear in the image whatever keys it
// holds, with no allocation per pixel, and the memory is kept from one image to the next: a batch run
// decodes thousands of icons in a row, and fresh pages for every one of them would cost more than the
// decoding.

#include <array>
#include <cstdint>
#include <vector>

namespace imaging::detail {

// Bitset over the whole 24-bit key space, allocated in 512-byte blocks as keys arrive: a block covers
// 4096 neighbouring keys (for combinations: 16 neighbouring 5-6-5 colours with their 256 alphas each).
// A photo with millions of colours fills at most 2 MiB; an icon with a few dozen touches a few blocks.
class SparseBitset24 {
public:
    // True when the key was not in the set yet.
    bool insert(std::uint32_t key) {
        const std::uint32_t top = key >> BlockShift;
        std::uint32_t block = m_blockOf[top];
        if (block == 0) {
            m_words.resize(m_words.size() + WordsPerBlock);
            m_tops.push_back(static_cast<std::uint16_t>(top));
            block = static_cast<std::uint32_t>(m_words.size() / WordsPerBlock);
            m_blockOf[top] = static_cast<std::uint16_t>(block);
        }
        std::uint64_t& word = m_words[(block - 1) * WordsPerBlock + ((key >> 6) & (WordsPerBlock - 1))];
        const std::uint64_t bit = std::uint64_t{1} << (key & 63);
        const bool added = (word & bit) == 0;
        word |= bit;
        return added;
    }

    // Empties the set at the cost of the blocks it used. Their memory stays for the next image unless a
    // large one spread it past what small images need.
    void clear() {
        for (const std::uint16_t top : m_tops) {
            m_blockOf[top] = 0;
        }
        m_tops.clear();
        if (m_words.capacity() > RetainedWords) {
            std::vector<std::uint64_t>().swap(m_words);
            std::vector<std::uint16_t>().swap(m_tops);
        } else {
            m_words.clear();
        }
    }

private:
    static constexpr std::uint32_t BlockShift = 12;
    static constexpr std::uint32_t BlockCount = 1u << (24 - BlockShift);
    static constexpr std::uint32_t WordsPerBlock = (1u << BlockShift) / 64;
    static constexpr std::size_t RetainedWords = 64 * WordsPerBlock;  // 64 blocks: 32 KiB

    std::array<std::uint16_t, BlockCount> m_blockOf{};  // block number + 1; 0 = not allocated
    std::vector<std::uint16_t> m_tops;                  // key >> BlockShift of each allocated block
    std::vector<std::uint64_t> m_words;
};

}  // namespace imaging::detail
