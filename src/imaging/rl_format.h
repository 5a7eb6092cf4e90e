#pragma once

// The RL file: a run-length coded bitmap with a 5-6-5 palette. All words unsigned 16-bit little-endian.
//
//   offset            size  field
//    0                2     "RL"
//    2                2     alpha-table flag: 1 when an alpha table follows the palette, else 0
//    4                2     width
//    6                2     height
//    8                2     P: palette entries, entry 0 (the key colour) included
//   10                2     R: rows in the row-length table (the height)
//   12                2*P   palette, 5-6-5 words; entry 0 is the key 0xF81F and means "transparent"
//   12+2P             P     alpha table (flag 1 only): one level 0..32 per entry; entry 0 has 0x20
//   T = 12+2P(+P)     R     row-length table: bytes of codes in each row, 0..255
//   T+R                     rows of codes, top row first, nothing between rows:
//                             FF n    n transparent pixels
//                             FE i n  n pixels of palette entry i
//                             i       one pixel of entry i (0x00..0xFD)

#include <cstddef>
#include <cstdint>

namespace imaging::rl {

inline constexpr std::size_t HeaderBytes = 12;
inline constexpr std::size_t OffsetAlphaFlag = 2;
inline constexpr std::size_t OffsetWidth = 4;
inline constexpr std::size_t OffsetHeight = 6;
inline constexpr std::size_t OffsetPaletteCount = 8;
inline constexpr std::size_t OffsetRowCount = 10;
inline constexpr std::size_t OffsetPalette = 12;

inline constexpr std::uint16_t KeyColor565 = 0xF81F;
inline constexpr std::uint8_t KeyAlphaLevel = 0x20;
inline constexpr std::uint8_t CodeRun = 0xFE;
inline constexpr std::uint8_t CodeTransparentRun = 0xFF;

// 0xFE and 0xFF are codes, so one-byte codes name entries 0..253: 253 colours beside the key.
inline constexpr std::int32_t MaxPaletteColours = 253;
inline constexpr std::int32_t MaxRunPiece = 255;
inline constexpr std::int32_t MaxRowBytes = 255;
inline constexpr std::int32_t MaxSide = 65535;
// Offsets up to the row table's end stay within a signed 16-bit word; readers in the field may rely on it.
inline constexpr std::int32_t MaxTableEnd = 32767;

// A declared size is refused above 2^28 pixels. Below that, a size the file's bytes cannot describe
// (a run code covers at most 255 pixels) is trusted only up to TrustedPixels, so a tiny file cannot make
// the reader allocate much.
inline constexpr std::uint64_t MaxPixels = std::uint64_t{1} << 28;
inline constexpr std::uint64_t TrustedPixels = std::uint64_t{1} << 22;

// Run level: floor((alpha + 1) / 8), 0..32; level 0 (alpha 0..6) is transparent.
constexpr std::int32_t alphaLevel(std::int32_t alpha) {
    return (alpha + 1) >> 3;
}

// Alpha-table byte: (alpha + 1) / 8 rounded half to even, so it can be one above the run level
// (alpha 253: level 31, table byte 32).
constexpr std::uint8_t alphaTableByte(std::int32_t alpha) {
    const std::int32_t scaled = alpha + 1;
    std::int32_t level = scaled / 8;
    const std::int32_t rest = scaled % 8;
    if (rest > 4 || (rest == 4 && level % 2 == 1)) {
        ++level;
    }
    return static_cast<std::uint8_t>(level);
}

// Stored level v means alpha 8v - 1 (32 -> 255); 0 is transparent. Levels above 32 only occur in damaged
// files and are held at 255 so every alpha stays a byte.
constexpr std::int32_t alphaFromLevel(std::int32_t level) {
    if (level == 0) {
        return 0;
    }
    const std::int32_t alpha = 8 * level - 1;
    return alpha > 255 ? 255 : alpha;
}

}  // namespace imaging::rl
