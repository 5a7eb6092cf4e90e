#pragma once

// Windows bitmap files as this program reads and writes them. All numbers little-endian.
//
//   offset size  field
//    0     2     "BM"
//    2     4     file size (as declared; the reader only reports it)
//    6     4     reserved
//   10     4     offset of the pixel rows
//   14     4     information header size (40 when we write)
//   18     4     width, signed
//   22     4     height, signed: positive = rows stored bottom row first, negative = top row first
//   26     2     planes
//   28     2     bits per pixel: 24 (B G R) or 32 (B G R A); nothing else is decoded
//   30     4     compression: 0 none; 3 (6 with alpha) bit fields, whose masks follow at 54; others refused
//   34..53       image size, pixels per metre (x, y), colours used, important colours
//   54           pixel rows; a 24-bit row is padded with zero bytes to a multiple of 4, a 32-bit row never
//   needs it

#include <cstddef>
#include <cstdint>

namespace imaging::bmp {

inline constexpr std::size_t HeaderBytes = 54;
inline constexpr std::int32_t InfoHeaderBytes = 40;
inline constexpr std::int32_t PixelsPerMetre = 2835;  // 72 dpi

inline constexpr std::size_t OffsetFileSize = 2;
inline constexpr std::size_t OffsetReserved = 6;
inline constexpr std::size_t OffsetDataOffset = 10;
inline constexpr std::size_t OffsetHeaderSize = 14;
inline constexpr std::size_t OffsetWidth = 18;
inline constexpr std::size_t OffsetHeight = 22;
inline constexpr std::size_t OffsetPlanes = 26;
inline constexpr std::size_t OffsetBitDepth = 28;
inline constexpr std::size_t OffsetCompression = 30;
inline constexpr std::size_t OffsetImageSize = 34;
inline constexpr std::size_t OffsetXPelsPerMeter = 38;
inline constexpr std::size_t OffsetYPelsPerMeter = 42;
inline constexpr std::size_t OffsetColorsUsed = 46;
inline constexpr std::size_t OffsetColorsImportant = 50;
// Bit-field masks (red, green, blue, alpha): after a 40-byte header, or inside the larger ones.
inline constexpr std::size_t OffsetMasks = 54;

// Header kinds by their size, and the largest header with the file header before it.
inline constexpr std::int32_t Os2HeaderBytes = 12;
inline constexpr std::int32_t HeaderWithAlphaMaskBytes = 56;
inline constexpr std::size_t LargestHeadBytes = 14 + 124;

inline constexpr std::int32_t CompressionNone = 0;
inline constexpr std::int32_t CompressionRle8 = 1;
inline constexpr std::int32_t CompressionRle4 = 2;
inline constexpr std::int32_t CompressionBitFields = 3;
inline constexpr std::int32_t CompressionJpeg = 4;
inline constexpr std::int32_t CompressionPng = 5;
inline constexpr std::int32_t CompressionAlphaBitFields = 6;
// In a normalisation table: the byte comes from no stored byte (alpha 255).
inline constexpr std::uint8_t NoSourceByte = 4;

// 2^28 pixels are 2 GiB of PixelRecords; nothing this tool is for comes near it.
inline constexpr std::uint64_t MaxPixels = std::uint64_t{1} << 28;

// Alpha below this (alpha level 0) is transparent: such pixels get no palette entry.
inline constexpr std::int32_t MinPaletteAlpha = 7;

// Bytes of one stored row: 24-bit rows are padded to a multiple of 4 (3 * width + width mod 4 is exactly
// that).
constexpr std::uint64_t rowStrideBytes(std::uint64_t width, int bytesPerPixel) {
    return width * static_cast<std::uint64_t>(bytesPerPixel) + (bytesPerPixel == 3 ? width % 4 : 0);
}

}  // namespace imaging::bmp
