#include "image_model.h"

#include "bmp_format.h"
#include "byte_order.h"
#include "file_io.h"
#include "rl_format.h"

#include <algorithm>
#include <cstddef>
#include <system_error>

namespace imaging {

namespace {

// 8 MiB of pixel records: a 1024 x 1024 image.
constexpr std::size_t RetainedBytes = std::size_t{8} << 20;

template <class T>
void emptyKeepingSmall(std::vector<T>& values) {
    if (values.capacity() > RetainedBytes / sizeof(T)) {
        std::vector<T>().swap(values);
    } else {
        values.clear();
    }
}

}  // namespace

void ResetImageModel(ImageModel& model) {
    // A batch run resets between files: the memory of an ordinary image is kept for the next one, which
    // would otherwise take fresh pages from the system every file; a large image's memory is given back.
    ImageModel fresh;
    const auto keep = [](auto& from, auto& into) {
        emptyKeepingSmall(from);
        into.swap(from);
    };
    keep(model.Pixels, fresh.Pixels);
    keep(model.PaletteColors, fresh.PaletteColors);
    keep(model.PaletteAlphas, fresh.PaletteAlphas);
    keep(model.RlPalette, fresh.RlPalette);
    keep(model.RlAlphaTable, fresh.RlAlphaTable);
    model = std::move(fresh);
}

std::uint64_t bytesReaderUses(Reader reader, std::span<const std::uint8_t> head) {
    using detail::loadS32;
    using detail::loadU16;
    if (reader == Reader::Compressed) {
        if (head.size() < rl::HeaderBytes) {
            return rl::HeaderBytes;
        }
        const std::uint64_t flag = loadU16(head.data() + rl::OffsetAlphaFlag);
        const std::uint64_t entries = loadU16(head.data() + rl::OffsetPaletteCount);
        const std::uint64_t rows = loadU16(head.data() + rl::OffsetRowCount);
        const std::uint64_t keyEnd = rl::OffsetPalette + 2;
        if (flag > 1) {
            return keyEnd;
        }
        // Each row's codes are at most 255 bytes, and they follow the row table without gaps.
        const std::uint64_t rowTable = rl::OffsetPalette + (flag + 2) * entries;
        return std::max(keyEnd, rowTable + rows + rows * rl::MaxRowBytes);
    }
    // The largest header and its masks, read whole, as the streaming reader does.
    const std::uint64_t headerEnd = bmp::LargestHeadBytes;
    if (head.size() < bmp::HeaderBytes) {
        return headerEnd;
    }
    const std::int32_t width = loadS32(head.data() + bmp::OffsetWidth);
    const std::int64_t height = loadS32(head.data() + bmp::OffsetHeight);
    const std::uint32_t depth = loadU16(head.data() + bmp::OffsetBitDepth);
    const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
    if ((depth != 24 && depth != 32) || width <= 0 ||
        std::uint64_t(width) * rows > bmp::MaxPixels) {
        return headerEnd;
    }
    const std::int32_t offset = loadS32(head.data() + bmp::OffsetDataOffset);
    if (offset < 0) {
        return headerEnd;
    }
    const std::uint64_t rowsEnd = static_cast<std::uint64_t>(offset) +
                                  rows * bmp::rowStrideBytes(std::uint64_t(width), int(depth / 8));
    return std::max(headerEnd, rowsEnd);
}

Result<std::vector<std::uint8_t>> readImageFile(const std::filesystem::path& path, Reader reader) {
    constexpr std::uint64_t MaxBytes = std::uint64_t{1} << 31;
    // Opened without waiting, the type checked on the descriptor: a pipe swapped in for the file would block.
    Result<tarvik::FileHandle> file = tarvik::openFileForReading(path);
    if (!file) {
        return file.error();
    }
    std::vector<std::uint8_t> bytes;
    if (Status head = tarvik::readInto(file->fd(), bytes, ReaderHeadBytes, MaxBytes); !head) {
        return head.error();
    }
    if (Status rest = tarvik::readInto(file->fd(), bytes, bytesReaderUses(reader, bytes), MaxBytes); !rest) {
        return rest.error();
    }
    return bytes;
}

Status loadDecoded(const Result<std::vector<std::uint8_t>>& file, Decoder decode, ImageModel& model) {
    if (!file) {
        return file.error();
    }
    return decode(file.value(), model);
}

Status saveEncoded(const std::filesystem::path& path, const ImageModel& model, Encoder encode) {
    if (path.empty()) {
        return tarvik::outputError(ErrorCode::Io, "no destination given");
    }
    Result<std::vector<std::uint8_t>> bytes = encode(model);
    if (!bytes) {
        return bytes.error();
    }
    return tarvik::writeFileAtomically(path, bytes.value());
}

AlphaCounts countAlphaPixels(std::span<const PixelRecord> pixels) {
    AlphaCounts counts;
    for (const PixelRecord& pixel : pixels) {
        counts.alphaPixels += pixel.Alpha < 255 ? 1 : 0;
        counts.transparentPixels += pixel.Alpha == 0 ? 1 : 0;
    }
    return counts;
}

}  // namespace imaging
