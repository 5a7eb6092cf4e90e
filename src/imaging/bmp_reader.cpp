#include <sys/stat.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>

#include "bmp_stream.h"
#include "byte_order.h"
#include "colour_sets.h"
#include "file_io.h"

namespace imaging {

namespace detail {

using tarvik::makeError;

namespace {

// Rows are streamed in pieces of about this size, small enough to stay in the cache while they are scanned.
constexpr std::uint64_t StreamChunkBytes = 512 * 1024;

}  // namespace

namespace {

// Where each byte of a normalised B G R A pixel comes from, for bit-field masks that pick whole bytes; the
// alpha byte comes from nowhere (opaque) when the file has no alpha mask or a mask of 0.
Result<std::array<std::uint8_t, 4>> byteOrderOfMasks(const std::uint32_t masks[4], bool hasAlphaMask) {
    std::array<std::uint8_t, 4> order{};
    unsigned used = 0;
    for (int channel = 0; channel < 4; ++channel) {
        const std::uint32_t mask = masks[channel];
        if (channel == 3 && (!hasAlphaMask || mask == 0)) {
            order[3] = bmp::NoSourceByte;
            continue;
        }
        int byte = -1;
        for (int b = 0; b < 4; ++b) {
            if (mask == 0xFFu << (8 * b)) {
                byte = b;
            }
        }
        if (byte < 0 || (used & (1u << byte)) != 0) {
            return makeError(ErrorCode::Unsupported,
                             "bit-field masks other than one byte per channel are not supported");
        }
        used |= 1u << byte;
        order[static_cast<std::size_t>(channel)] = static_cast<std::uint8_t>(byte);
    }
    return order;
}

}  // namespace

void normalizeRow(const BitmapLayout& layout, const std::uint8_t* in, std::uint8_t* out) {
    for (std::uint32_t x = 0; x < layout.width; ++x, in += 4, out += 4) {
        std::uint8_t pixel[4];
        for (int c = 0; c < 4; ++c) {
            const std::uint8_t from = layout.sourceByte[static_cast<std::size_t>(c)];
            pixel[c] = from == bmp::NoSourceByte ? 255 : in[from];
        }
        std::memcpy(out, pixel, 4);
    }
}

Result<BitmapLayout> readBitmapHeader(std::span<const std::uint8_t> head, std::uint64_t fileLength,
                                      ImageModel& model) {
    const std::uint8_t* header = head.data();
    model.BmpSignature = std::string{static_cast<char>(header[0]), static_cast<char>(header[1])};
    model.BmpFileSize = loadS32(header + bmp::OffsetFileSize);
    model.BmpReserved = loadS32(header + bmp::OffsetReserved);
    model.BmpDataOffset = loadS32(header + bmp::OffsetDataOffset);
    model.BmpHeaderSize = loadS32(header + bmp::OffsetHeaderSize);
    model.Width = loadS32(header + bmp::OffsetWidth);
    const std::int32_t declaredHeight = loadS32(header + bmp::OffsetHeight);
    model.BmpPlanes = loadU16(header + bmp::OffsetPlanes);
    model.BitDepth = loadU16(header + bmp::OffsetBitDepth);
    model.BmpCompression = loadS32(header + bmp::OffsetCompression);
    model.BmpImageSize = loadS32(header + bmp::OffsetImageSize);
    model.BmpXPelsPerMeter = loadS32(header + bmp::OffsetXPelsPerMeter);
    model.BmpYPelsPerMeter = loadS32(header + bmp::OffsetYPelsPerMeter);
    model.BmpColorsUsed = loadS32(header + bmp::OffsetColorsUsed);
    model.BmpColorsImportant = loadS32(header + bmp::OffsetColorsImportant);

    // Header kinds by their size: 12 bytes is the OS/2 one, whose fields lie elsewhere (its "bit depth"
    // would be read from the first pixels).
    if (model.BmpHeaderSize == bmp::Os2HeaderBytes) {
        return makeError(ErrorCode::Unsupported, "OS/2 bitmap headers are not supported");
    }
    switch (model.BmpCompression) {
        case bmp::CompressionNone:
        case bmp::CompressionBitFields:
        case bmp::CompressionAlphaBitFields:
            break;
        case bmp::CompressionRle8:
        case bmp::CompressionRle4:
            return makeError(ErrorCode::Unsupported, "RLE-compressed bitmaps are not supported");
        case bmp::CompressionJpeg:
            return makeError(ErrorCode::Unsupported, "JPEG-compressed bitmaps are not supported");
        case bmp::CompressionPng:
            return makeError(ErrorCode::Unsupported, "PNG-compressed bitmaps are not supported");
        default:
            return makeError(ErrorCode::Unsupported,
                             "unsupported compression: " + std::to_string(model.BmpCompression));
    }
    if (model.BitDepth != 24 && model.BitDepth != 32) {
        return makeError(ErrorCode::Unsupported,
                         "unsupported bit depth: " + std::to_string(model.BitDepth) + " (only 24 and 32)");
    }
    if (model.Width <= 0) {
        return makeError(ErrorCode::Corrupt, "invalid width: " + std::to_string(model.Width));
    }
    if (declaredHeight == 0) {
        return makeError(ErrorCode::Corrupt, "invalid height: 0");
    }

    BitmapLayout layout;
    if (model.BmpCompression != bmp::CompressionNone) {
        // The masks follow a 40-byte header (three, or four with the alpha variant) and are part of the
        // larger ones, at the same place; from the 56-byte header on, the header holds an alpha mask.
        const bool hasAlphaMask = model.BmpCompression == bmp::CompressionAlphaBitFields ||
                                  model.BmpHeaderSize >= bmp::HeaderWithAlphaMaskBytes;
        const std::size_t masksEnd = bmp::OffsetMasks + (hasAlphaMask ? 16 : 12);
        if (head.size() < masksEnd) {
            return makeError(ErrorCode::Truncated, "truncated bit-field masks");
        }
        std::uint32_t masks[4] = {};
        for (std::size_t c = 0; c < (hasAlphaMask ? 4u : 3u); ++c) {
            masks[c] = loadU32(header + bmp::OffsetMasks + 4 * c);
        }
        if (model.BitDepth == 24) {
            if (masks[0] != 0xFF0000 || masks[1] != 0xFF00 || masks[2] != 0xFF) {
                return makeError(ErrorCode::Unsupported, "24-bit bit-field masks other than R G B are not supported");
            }
        } else {
            // Stored as a word: red mask first. Normalised order is B G R A.
            const std::uint32_t bgra[4] = {masks[2], masks[1], masks[0], masks[3]};
            Result<std::array<std::uint8_t, 4>> order = byteOrderOfMasks(bgra, hasAlphaMask);
            if (!order) {
                return order.error();
            }
            layout.sourceByte = order.value();
            layout.normalize = layout.sourceByte != std::array<std::uint8_t, 4>{0, 1, 2, 3};
        }
    }
    layout.width = static_cast<std::uint32_t>(model.Width);
    // A negative height stores the top row first; the model is always kept bottom row first.
    layout.topDown = declaredHeight < 0;
    layout.height = static_cast<std::uint32_t>(declaredHeight < 0 ? -static_cast<std::int64_t>(declaredHeight)
                                                                  : declaredHeight);
    layout.bytesPerPixel = model.BitDepth / 8;
    layout.rowStride = bmp::rowStrideBytes(layout.width, layout.bytesPerPixel);
    layout.pixelCount = std::uint64_t{layout.width} * layout.height;
    if (layout.pixelCount > bmp::MaxPixels) {
        return makeError(ErrorCode::TooLarge, "image too large: " + std::to_string(layout.width) + " x " +
                                                  std::to_string(layout.height) + " pixels");
    }
    model.Height = static_cast<std::int32_t>(layout.height);

    // An offset inside the header is odd but readable: the rows start there, as the header says.
    if (model.BmpDataOffset < 0 ||
        static_cast<std::uint64_t>(model.BmpDataOffset) > fileLength) {
        return makeError(ErrorCode::Corrupt, "pixel data offset " + std::to_string(model.BmpDataOffset) +
                                                 " lies outside the file");
    }
    layout.dataOffset = static_cast<std::uint64_t>(model.BmpDataOffset);
    // The last row's padding may be missing; every pixel byte must be there.
    const std::uint64_t needed =
        (layout.height - 1) * layout.rowStride + std::uint64_t{layout.width} * layout.bytesPerPixel;
    if (needed > fileLength - layout.dataOffset) {
        return makeError(ErrorCode::Truncated, "truncated pixel data");
    }
    return layout;
}

Result<BitmapFileRows> BitmapFileRows::open(const std::filesystem::path& path, ImageModel& model) {
    Result<tarvik::FileHandle> file = tarvik::openFileForReading(path);
    if (!file) {
        return file.error();
    }
    BitmapFileRows rows;
    rows.m_in = std::move(file.value());
    struct stat info {};
    if (::fstat(rows.m_in.fd(), &info) != 0) {
        return makeError(ErrorCode::Io, tarvik::systemErrorText(errno));
    }
    rows.m_fileLength = static_cast<std::uint64_t>(info.st_size);
    if (rows.m_fileLength < bmp::HeaderBytes) {
        return makeError(ErrorCode::Truncated, "shorter than the 54-byte bitmap header");
    }
    std::uint8_t header[bmp::LargestHeadBytes];
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(rows.m_fileLength, sizeof header));
    Result<std::size_t> got = tarvik::readAt(rows.m_in.fd(), header, wanted, 0);
    if (!got) {
        return got.error();
    }
    if (*got < bmp::HeaderBytes) {
        return makeError(ErrorCode::Truncated, "shorter than the 54-byte bitmap header");
    }
    Result<BitmapLayout> layout =
        readBitmapHeader(std::span<const std::uint8_t>(header, *got), rows.m_fileLength, model);
    if (!layout) {
        return layout.error();
    }
    rows.m_layout = layout.value();
    const std::uint64_t rowsPerChunk = std::max<std::uint64_t>(1, StreamChunkBytes / rows.m_layout.rowStride);
    rows.m_chunk.resize(static_cast<std::size_t>(rowsPerChunk * rows.m_layout.rowStride));
    return rows;
}

Status BitmapFileRows::readRows(std::uint64_t first, std::uint64_t count) {
    const std::uint64_t offset = m_layout.fileRowOffset(first);
    // The file's last row may lack its padding.
    const std::uint64_t bytes = std::min<std::uint64_t>(count * m_layout.rowStride, m_fileLength - offset);
    Result<std::size_t> got = tarvik::readAt(m_in.fd(), m_chunk.data(), static_cast<std::size_t>(bytes), offset);
    if (!got) {
        return got.error();
    }
    if (*got != bytes) {
        return makeError(ErrorCode::Truncated, "truncated pixel data");
    }
    if (m_layout.normalize) {
        for (std::uint64_t row = 0; row < count; ++row) {
            std::uint8_t* bytesOfRow = m_chunk.data() + row * m_layout.rowStride;
            normalizeRow(m_layout, bytesOfRow, bytesOfRow);
        }
    }
    return {};
}

}  // namespace detail

namespace {

using detail::BitmapLayout;
using tarvik::makeError;

// The statistics sets of one thread, reused from image to image and emptied when a pass ends (at the cost
// of the blocks it used). Bitsets, not hash sets: their cost per pixel is fixed whatever colours a file
// holds, where a hash set can be flooded with colours chosen to collide.
struct StatisticsSets {
    detail::SparseBitset24 colours;
    detail::SparseBitset24 combinations;
};

StatisticsSets& threadStatisticsSets() {
    thread_local StatisticsSets sets;
    return sets;
}

// One pass over the rows in upright order (bottom row first): the pixel records and all four statistics.
template <class KeySet>
class StatisticsPass {
public:
    // The sets come in empty.
    StatisticsPass(const BitmapLayout& layout, ImageModel& model, bool keepPixels, KeySet& colours,
                   KeySet& combinations, const detail::CombinationVisitor* eachCombination)
        : m_eachCombination(eachCombination),
          m_model(model),
          m_width(layout.width),
          m_bytesPerPixel(layout.bytesPerPixel),
          m_keepPixels(keepPixels),
          m_colours(colours),
          m_combinations(combinations) {
        // 257 slots: the counter may reach 255 stored entries before the palette is known to be too large.
        m_model.PaletteColors.assign(257, 0);
        m_model.PaletteAlphas.assign(257, 0);
        m_model.Pixels.clear();
        if (m_keepPixels) {
            m_model.Pixels.reserve(static_cast<std::size_t>(layout.pixelCount));
            m_rowRecords.resize(layout.width);
        } else {
            m_model.Pixels.shrink_to_fit();
        }
    }

    void row(const std::uint8_t* bytes) {
        if (m_bytesPerPixel == 4) {
            m_keepPixels ? scanRow<4, true>(bytes) : scanRow<4, false>(bytes);
        } else {
            m_keepPixels ? scanRow<3, true>(bytes) : scanRow<3, false>(bytes);
        }
        if (m_keepPixels) {
            m_model.Pixels.insert(m_model.Pixels.end(), m_rowRecords.begin(), m_rowRecords.end());
        }
    }

    void finish() {
        m_model.WindowsColorCount = m_windowsColours;
        m_model.CompressedColorCount = m_combinationCount;
        m_model.AlphaPixelCount = m_alphaPixels;
        m_model.TransparentPixelCount = m_transparentPixels;
        // Too many combinations for RL: only the count matters then, the palette shrinks to one 0 entry.
        const std::size_t entries = m_combinationCount >= CompressibleColorLimit
                                        ? 1
                                        : static_cast<std::size_t>(m_combinationCount) + 1;
        if (entries == 1) {
            m_model.PaletteColors[0] = 0;
            m_model.PaletteAlphas[0] = 0;
        }
        m_model.PaletteColors.resize(entries);
        m_model.PaletteAlphas.resize(entries);
    }

private:
    template <int BytesPerPixel>
    static std::uint32_t loadRaw(const std::uint8_t* p) {
        // As a little-endian word: blue in the low byte, alpha (32-bit) in the high one.
        if constexpr (BytesPerPixel == 4) {
            return detail::loadU32(p);
        } else {
            return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
        }
    }

    // True when the next four stored pixels all equal the previous one.
    template <int BytesPerPixel>
    bool nextFourRepeat(const std::uint8_t* p) const {
        if constexpr (std::endian::native != std::endian::little) {
            return false;
        }
        std::uint64_t head;
        std::memcpy(&head, p, 8);
        if constexpr (BytesPerPixel == 4) {
            std::uint64_t tail;
            std::memcpy(&tail, p + 8, 8);
            return head == m_repeatHead && tail == m_repeatHead;
        } else {
            std::uint32_t tail;
            std::memcpy(&tail, p + 8, 4);
            return head == m_repeatHead && tail == m_repeatTail;
        }
    }

    template <int BytesPerPixel>
    void setPrevious(std::uint32_t raw) {
        m_previousRaw = raw;
        const std::uint64_t wide = raw;
        if constexpr (BytesPerPixel == 4) {
            m_repeatHead = wide | (wide << 32);
        } else {
            m_repeatHead = wide | (wide << 24) | (wide << 48);  // B G R B G R B G
            m_repeatTail = (raw >> 16) | (raw << 8);            // R B G R
        }
    }

    template <int BytesPerPixel, bool KeepPixels>
    void scanRow(const std::uint8_t* bytes) {
        std::int32_t alphaPixels = m_alphaPixels;
        std::int32_t transparentPixels = m_transparentPixels;
        PixelRecord* out = m_rowRecords.data();
        if (!m_started) {
            m_started = true;
            setPrevious<BytesPerPixel>(~loadRaw<BytesPerPixel>(bytes));
        }
        std::uint32_t x = 0;
        while (x < m_width) {
            // Runs of one pixel value are the common case in the images this tool is for; they cannot change
            // any set, only the alpha counters, so they are skipped four pixels at a time.
            if (x + 4 <= m_width && nextFourRepeat<BytesPerPixel>(bytes)) {
                alphaPixels += 4 * m_previousIsAlpha;
                transparentPixels += 4 * m_previousIsTransparent;
                if constexpr (KeepPixels) {
                    out[x] = out[x + 1] = out[x + 2] = out[x + 3] = m_previousRecord;
                }
                x += 4;
                bytes += 4 * BytesPerPixel;
                continue;
            }
            const std::uint32_t raw = loadRaw<BytesPerPixel>(bytes);
            if (raw != m_previousRaw) {
                setPrevious<BytesPerPixel>(raw);
                addNewValue<BytesPerPixel>(bytes);
            }
            alphaPixels += m_previousIsAlpha;
            transparentPixels += m_previousIsTransparent;
            if constexpr (KeepPixels) {
                out[x] = m_previousRecord;
            }
            ++x;
            bytes += BytesPerPixel;
        }
        m_alphaPixels = alphaPixels;
        m_transparentPixels = transparentPixels;
    }

    // A pixel unlike its predecessor: look its colour and combination up.
    template <int BytesPerPixel>
    void addNewValue(const std::uint8_t* bytes) {
        m_previousRecord = detail::recordFromBytes(bytes, BytesPerPixel);
        const std::int32_t color = m_previousRecord.Color;
        const std::int32_t alpha = m_previousRecord.Alpha;
        m_previousIsAlpha = alpha < 255 ? 1 : 0;
        m_previousIsTransparent = alpha == 0 ? 1 : 0;
        if (alpha != 0 && m_colours.insert(static_cast<std::uint32_t>(color))) {
            ++m_windowsColours;
        }
        // The combination is the exact alpha, not its level: alpha 200 and 201 are two entries.
        if (alpha >= bmp::MinPaletteAlpha) {
            const std::uint32_t rgb565 = ToRgb565(color);
            if (m_combinations.insert((rgb565 << 8) | static_cast<std::uint32_t>(alpha))) {
                if (m_combinationCount < 255) {
                    m_model.PaletteColors[static_cast<std::size_t>(m_combinationCount)] =
                        static_cast<std::int32_t>(rgb565);
                    m_model.PaletteAlphas[static_cast<std::size_t>(m_combinationCount)] = alpha;
                }
                ++m_combinationCount;
                if (m_eachCombination) {
                    (*m_eachCombination)(rgb565, alpha);
                }
            }
        }
    }

    const detail::CombinationVisitor* m_eachCombination;
    ImageModel& m_model;
    std::uint32_t m_width;
    int m_bytesPerPixel;
    bool m_keepPixels;
    KeySet& m_colours;
    KeySet& m_combinations;
    std::vector<PixelRecord> m_rowRecords;

    std::int32_t m_windowsColours = 0;
    std::int32_t m_combinationCount = 0;
    std::int32_t m_alphaPixels = 0;
    std::int32_t m_transparentPixels = 0;

    bool m_started = false;
    std::uint32_t m_previousRaw = 0;
    std::uint64_t m_repeatHead = 0;
    std::uint32_t m_repeatTail = 0;
    std::int32_t m_previousIsAlpha = 0;
    std::int32_t m_previousIsTransparent = 0;
    PixelRecord m_previousRecord;
};

// forEachRow: a callable that takes a visitor and calls it with each row's first byte, bottom row first.
template <class KeySet, class ForEachRow>
Status runPassWith(const BitmapLayout& layout, ImageModel& model, bool keepPixels, KeySet& colours,
                   KeySet& combinations, ForEachRow& forEachRow,
                   const detail::CombinationVisitor* eachCombination = nullptr) {
    std::optional<StatisticsPass<KeySet>> made;
    try {
        made.emplace(layout, model, keepPixels, colours, combinations, eachCombination);
    } catch (const std::bad_alloc&) {
        std::vector<PixelRecord>().swap(model.Pixels);
        return makeError(ErrorCode::OutOfMemory, notEnoughMemory(layout.width, layout.height));
    }
    StatisticsPass<KeySet>& pass = *made;
    Status status = forEachRow([&pass](const std::uint8_t* row) { pass.row(row); });
    if (!status) {
        return status;
    }
    pass.finish();
    return {};
}

template <class ForEachRow>
Status runPass(const BitmapLayout& layout, ImageModel& model, bool keepPixels, ForEachRow& forEachRow,
               const detail::CombinationVisitor* eachCombination = nullptr) {
    StatisticsSets& sets = threadStatisticsSets();
    // Emptied on every way out, a failed read or an exception included, so the next image starts clean.
    struct Emptier {
        StatisticsSets& sets;
        ~Emptier() {
            sets.colours.clear();
            sets.combinations.clear();
        }
    } emptier{sets};
    return runPassWith(layout, model, keepPixels, sets.colours, sets.combinations, forEachRow, eachCombination);
}

// The statistics of a large file in a few megabytes: what `info` on a file of any size needs.
Status streamBitmap(const std::filesystem::path& path, ImageModel& model, bool keepPixels) {
    Result<detail::BitmapFileRows> rows = detail::BitmapFileRows::open(path, model);
    if (!rows) {
        return rows.error();
    }
    auto forEachRow = [&rows](auto&& visit) { return rows->forEachRow(true, visit); };
    return runPass(rows->layout(), model, keepPixels, forEachRow);
}

}  // namespace

namespace detail {

Result<BitmapLayout> scanBitmapBytes(std::span<const std::uint8_t> file, ImageModel& model, bool keepPixels,
                                     const CombinationVisitor* eachCombination) {
    if (file.size() < bmp::HeaderBytes) {
        return makeError(ErrorCode::Truncated, "shorter than the 54-byte bitmap header");
    }
    Result<BitmapLayout> parsed = readBitmapHeader(file, file.size(), model);
    if (!parsed) {
        return parsed.error();
    }
    const BitmapLayout layout = parsed.value();
    std::vector<std::uint8_t> normalized(layout.normalize ? layout.rowStride : 0);
    auto forEachRow = [&](auto&& visit) -> Status {
        for (std::uint64_t upright = 0; upright < layout.height; ++upright) {
            const std::uint8_t* row = file.data() + layout.fileRowOffset(layout.fileRowOfUpright(upright));
            if (layout.normalize) {
                normalizeRow(layout, row, normalized.data());
                row = normalized.data();
            }
            visit(row);
        }
        return {};
    };
    if (Status status = runPass(layout, model, keepPixels, forEachRow, eachCombination); !status) {
        return status.error();
    }
    return layout;
}

}  // namespace detail

Status decodeBitmap(std::span<const std::uint8_t> file, ImageModel& model) {
    Result<BitmapLayout> scanned = detail::scanBitmapBytes(file, model, true);
    if (!scanned) {
        return scanned.error();
    }
    return {};
}

Status LoadBitmapImage(const std::filesystem::path& path, ImageModel& model) {
    return loadDecoded(readImageFile(path, Reader::Bitmap), decodeBitmap, model);
}

Status inspectBitmapImage(const std::filesystem::path& path, ImageModel& model) {
    return streamBitmap(path, model, false);
}

}  // namespace imaging
