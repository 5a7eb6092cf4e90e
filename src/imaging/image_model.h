#pragma once

// The one in-memory image every conversion passes through, and the codecs that fill and write it.
// Field names are the program's own; language files, tests and the window refer to them.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "file_io.h"
#include "result.h"

namespace imaging {

using tarvik::Error;
using tarvik::ErrorCode;
using tarvik::Result;
using tarvik::Status;

struct PixelRecord {
    std::int32_t Color = 0;  // 0x00BBGGRR: red in the low byte
    std::int32_t Alpha = 0;  // 0 transparent .. 255 opaque
};

struct ImageModel {
    // Copy of the 54-byte bitmap header.
    std::string BmpSignature = "  ";
    std::int32_t BmpFileSize = 0;
    std::int32_t BmpReserved = 0;
    std::int32_t BmpDataOffset = 0;
    std::int32_t BmpHeaderSize = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t BmpPlanes = 0;
    std::int32_t BitDepth = 0;
    std::int32_t BmpCompression = 0;
    std::int32_t BmpImageSize = 0;
    std::int32_t BmpXPelsPerMeter = 0;
    std::int32_t BmpYPelsPerMeter = 0;
    std::int32_t BmpColorsUsed = 0;
    std::int32_t BmpColorsImportant = 0;

    // Bottom row first after a bitmap load, top row first after an RL load; writers emit the last row first.
    std::vector<PixelRecord> Pixels;
    std::vector<std::int32_t> PaletteColors;  // 5-6-5 colour of each combination, in order first met
    std::vector<std::int32_t> PaletteAlphas;  // its exact alpha
    std::int32_t WindowsColorCount = 0;
    std::int32_t CompressedColorCount = 0;
    std::int32_t AlphaPixelCount = 0;
    std::int32_t TransparentPixelCount = 0;

    // Copy of the RL header.
    std::string RlSignature = "  ";
    std::int32_t RlAlphaFlag = 0;
    std::int32_t RlWidth = 0;
    std::int32_t RlHeight = 0;
    std::int32_t RlPaletteCount = 0;
    std::int32_t RlRowTableLength = 0;
    std::int32_t RlKeyColor = 0;
    std::vector<std::int32_t> RlPalette;     // 0x00BBGGRR per entry
    std::vector<std::int32_t> RlAlphaTable;  // alpha 0..255 per entry
};

// An image can be written as RL only while CompressedColorCount is below this.
inline constexpr std::int32_t CompressibleColorLimit = 254;

// Whether the image's colour/alpha combinations fit an RL palette: the rule the window's "Compression"
// button, `info`'s "compressible" and a batch run's skip all follow.
inline bool hasCompressibleColours(const ImageModel& model) {
    return model.CompressedColorCount < CompressibleColorLimit;
}

// Every field back to its initial value and every array empty (an ordinary image's capacity is kept for
// the next load).
void ResetImageModel(ImageModel& model);

// How many leading bytes of a file a reader looks at, told from its first bytes (`head`: the first
// ReaderHeadBytes bytes, or the whole file when it is shorter). The bitmap reader stops at the end of the
// rows, the RL reader at the end of the row codes its tables can announce; what follows is never looked at,
// so every way of reading a file stops there and accepts or refuses it alike, whatever trails it.
enum class Reader { Bitmap, Compressed };
inline constexpr std::size_t ReaderHeadBytes = 64;
std::uint64_t bytesReaderUses(Reader reader, std::span<const std::uint8_t> head);

// The bytes of a file that the reader looks at, read once. Fails with TooLarge above 2 GiB (no bitmap or
// RL file this tool can convert comes near), with Io when the file cannot be read.
Result<std::vector<std::uint8_t>> readImageFile(const std::filesystem::path& path, Reader reader);

// Top five bits of red, six of green, five of blue: red in bits 15-11. Low bits are dropped, not rounded.
inline std::uint16_t ToRgb565(std::int32_t color) {
    const auto value = static_cast<std::uint32_t>(color);
    return static_cast<std::uint16_t>(((value & 0xF8) << 8) | (((value >> 8) & 0xFC) << 3) |
                                      ((value >> 19) & 0x1F));
}

// Pure codecs over bytes. Decoders fill the model and fail with a reason; encoders never touch files.
Status decodeBitmap(std::span<const std::uint8_t> file, ImageModel& model);
Result<std::vector<std::uint8_t>> encodeBitmap(const ImageModel& model);
Status decodeCompressed(std::span<const std::uint8_t> file, ImageModel& model);
Result<std::vector<std::uint8_t>> encodeCompressed(const ImageModel& model);

// File wrappers: the file's bytes read and decoded, or encoded and written. Writers replace the target only
// after a complete write (temporary file + rename).
Status LoadBitmapImage(const std::filesystem::path& path, ImageModel& model);
Status SaveBitmapImage(const std::filesystem::path& path, const ImageModel& model);
Status LoadCompressedImage(const std::filesystem::path& path, ImageModel& model);
Status SaveCompressedImage(const std::filesystem::path& path, const ImageModel& model);

// What the wrappers share: decoding what was read, failing with the read's reason; refusing an empty
// destination, encoding, then writing the bytes atomically.
using Decoder = Status (*)(std::span<const std::uint8_t> file, ImageModel& model);
using Encoder = Result<std::vector<std::uint8_t>> (*)(const ImageModel& model);
Status loadDecoded(const Result<std::vector<std::uint8_t>>& file, Decoder decode, ImageModel& model);
Status saveEncoded(const std::filesystem::path& path, const ImageModel& model, Encoder encode);

// Reads a Windows bitmap's header and statistics as LoadBitmapImage does, streaming, without keeping the
// pixels (Pixels is left empty): what an information report needs, at a fraction of the memory.
// Fails exactly where LoadBitmapImage fails.
Status inspectBitmapImage(const std::filesystem::path& path, ImageModel& model);

// LoadBitmapImage then SaveCompressedImage without holding the pixel records: the file is read once, and
// both passes (statistics, then codes) walk those bytes, so the palette always fits the codes. Memory: the
// file and the RL bytes. The model receives what inspectBitmapImage gives (Pixels stays empty). Fails with
// the reader's or the writer's reason; the target is then left as it was.
Status compressBitmapFile(const std::filesystem::path& bitmap, const std::filesystem::path& target,
                          ImageModel& model);
// The same, handing the RL file's bytes to `sink` (which writes them, or not in a dry run) instead.
Status compressBitmapFile(const std::filesystem::path& bitmap, ImageModel& model,
                          const std::function<Status(std::vector<std::uint8_t>)>& sink);

// Pixels with alpha below 255 (transparent ones included) and pixels with alpha 0.
struct AlphaCounts {
    std::int64_t alphaPixels = 0;
    std::int64_t transparentPixels = 0;
};
AlphaCounts countAlphaPixels(std::span<const PixelRecord> pixels);

// "not enough memory for a W×H image": the reason given wherever an image does not fit in memory.
std::string notEnoughMemory(std::uint64_t width, std::uint64_t height);

// An RL file's header, checks and statistics as LoadCompressedImage finds them, without the pixels (Pixels
// stays empty; the alpha counts come apart): a report on a large image needs no memory for it.
Status inspectCompressed(std::span<const std::uint8_t> file, ImageModel& model, AlphaCounts& counts);
Status inspectCompressedImage(const std::filesystem::path& path, ImageModel& model, AlphaCounts& counts);

// LoadCompressedImage then SaveBitmapImage without holding the image: the rows are decoded and written a
// block at a time, so the memory needed is the RL file and about a megabyte, whatever the image's size.
// Same bytes and same refusals as the two calls; the target is left as it was on any failure.
// A new target gets `newPermissions` (less the umask) when given, as AtomicFileWriter does.
Status decompressFile(const std::filesystem::path& rlFile, const std::filesystem::path& target, ImageModel& model,
                      std::optional<mode_t> newPermissions = {});
// The same into a writer the caller commits (nothing is committed on failure).
Status writeDecompressed(std::span<const std::uint8_t> file, ImageModel& model, tarvik::AtomicFileWriter& out);

}  // namespace imaging
