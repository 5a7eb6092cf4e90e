#include <algorithm>
#include <fstream>
#include <system_error>

#include "bmp_format.h"
#include "byte_order.h"
#include "colour_sets.h"
#include "image_model.h"

namespace imaging {

namespace {

using detail::loadS32;
using detail::loadU16;
using tarvik::makeError;

// Up to this many pixels the statistics use small hash sets instead of the 24-bit bitsets.
constexpr std::uint64_t SmallImagePixels = 4096;
// Rows are streamed from the file in pieces of about this size, so reading overlaps little with the cache.
constexpr std::uint64_t StreamChunkBytes = 512 * 1024;

struct BitmapLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;  // absolute value of the header's height
    bool topDown = false;
    int bytesPerPixel = 0;
    std::uint64_t rowStride = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t pixelCount = 0;

    std::uint64_t fileRowOffset(std::uint64_t fileRow) const { return dataOffset + fileRow * rowStride; }
};

// Copies the header into the model and checks that the declared pixels are all present in the file.
Result<BitmapLayout> readHeader(const std::uint8_t* header, std::uint64_t fileLength, ImageModel& model) {
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
    layout.width = static_cast<std::uint32_t>(model.Width);
    // A negative height stores the top row first; the model is always kept bottom row first.
    layout.topDown = declaredHeight < 0;
    const std::int64_t absHeight =
        declaredHeight < 0 ? -static_cast<std::int64_t>(declaredHeight) : declaredHeight;
    layout.height = static_cast<std::uint32_t>(absHeight);
    layout.bytesPerPixel = model.BitDepth / 8;
    layout.rowStride = bmp::rowStrideBytes(layout.width, layout.bytesPerPixel);
    layout.pixelCount = std::uint64_t{layout.width} * layout.height;
    if (layout.pixelCount > bmp::MaxPixels) {
        return makeError(ErrorCode::TooLarge, "image too large: " + std::to_string(layout.width) + " x " +
                                                  std::to_string(layout.height) + " pixels");
    }
    model.Height = static_cast<std::int32_t>(layout.height);

    if (model.BmpDataOffset < static_cast<std::int32_t>(bmp::HeaderBytes) ||
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

// One pass over the rows in upright order (bottom row first): the pixel records and all four statistics.
template <class KeySet>
class StatisticsPass {
public:
    StatisticsPass(const BitmapLayout& layout, ImageModel& model, bool keepPixels)
        : m_model(model),
          m_width(layout.width),
          m_bytesPerPixel(layout.bytesPerPixel),
          m_keepPixels(keepPixels),
          m_colours(layout.pixelCount),
          m_combinations(layout.pixelCount) {
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
    static std::uint32_t loadPixel3(const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16);
    }

    template <int BytesPerPixel, bool KeepPixels>
    void scanRow(const std::uint8_t* bytes) {
        std::int32_t alphaPixels = m_alphaPixels;
        std::int32_t transparentPixels = m_transparentPixels;
        PixelRecord* out = m_rowRecords.data();
        if (!m_started) {
            m_started = true;
            m_previousRaw = ~(BytesPerPixel == 4 ? detail::loadU32(bytes) : loadPixel3(bytes));
        }
        for (std::uint32_t x = 0; x < m_width; ++x, bytes += BytesPerPixel) {
            // Stored as B G R (A): as a little-endian word, blue is the low byte.
            const std::uint32_t raw = BytesPerPixel == 4 ? detail::loadU32(bytes) : loadPixel3(bytes);
            // Runs of one pixel value are the common case in the images this tool is for; they cannot change
            // any set, only the alpha counters.
            if (raw == m_previousRaw) {
                alphaPixels += m_previousIsAlpha;
                transparentPixels += m_previousIsTransparent;
                if constexpr (KeepPixels) {
                    out[x] = m_previousRecord;
                }
                continue;
            }
            m_previousRaw = raw;
            const auto color =
                static_cast<std::int32_t>(((raw & 0xFF) << 16) | (raw & 0xFF00) | ((raw >> 16) & 0xFF));
            const std::int32_t alpha = BytesPerPixel == 4 ? static_cast<std::int32_t>(raw >> 24) : 255;
            m_previousIsAlpha = alpha < 255 ? 1 : 0;
            m_previousIsTransparent = alpha == 0 ? 1 : 0;
            alphaPixels += m_previousIsAlpha;
            transparentPixels += m_previousIsTransparent;
            m_previousRecord = PixelRecord{color, alpha};
            if constexpr (KeepPixels) {
                out[x] = m_previousRecord;
            }
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
                }
            }
        }
        m_alphaPixels = alphaPixels;
        m_transparentPixels = transparentPixels;
    }

    ImageModel& m_model;
    std::uint32_t m_width;
    int m_bytesPerPixel;
    bool m_keepPixels;
    KeySet m_colours;
    KeySet m_combinations;
    std::vector<PixelRecord> m_rowRecords;

    std::int32_t m_windowsColours = 0;
    std::int32_t m_combinationCount = 0;
    std::int32_t m_alphaPixels = 0;
    std::int32_t m_transparentPixels = 0;

    bool m_started = false;
    std::uint32_t m_previousRaw = 0;
    std::int32_t m_previousIsAlpha = 0;
    std::int32_t m_previousIsTransparent = 0;
    PixelRecord m_previousRecord;
};

// RowSource: a callable that takes a visitor and calls it with each row's first byte, bottom row first.
template <class KeySet, class RowSource>
Status runPassWith(const BitmapLayout& layout, ImageModel& model, bool keepPixels, RowSource& rows) {
    StatisticsPass<KeySet> pass(layout, model, keepPixels);
    Status status = rows([&pass](const std::uint8_t* row) { pass.row(row); });
    if (!status) {
        return status;
    }
    pass.finish();
    return {};
}

template <class RowSource>
Status runPass(const BitmapLayout& layout, ImageModel& model, bool keepPixels, RowSource& rows) {
    if (layout.pixelCount <= SmallImagePixels) {
        return runPassWith<detail::SmallKeySet>(layout, model, keepPixels, rows);
    }
    return runPassWith<detail::SparseBitset24>(layout, model, keepPixels, rows);
}

Status streamBitmap(const std::filesystem::path& path, ImageModel& model, bool keepPixels) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return makeError(ErrorCode::Io, "is a folder");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return makeError(ErrorCode::Io, "cannot open for reading");
    }
    const std::uintmax_t fileLength = std::filesystem::file_size(path, ec);
    if (ec) {
        return makeError(ErrorCode::Io, "cannot read: " + ec.message());
    }
    if (fileLength < bmp::HeaderBytes) {
        return makeError(ErrorCode::Truncated, "shorter than the 54-byte bitmap header");
    }
    std::uint8_t header[bmp::HeaderBytes];
    in.read(reinterpret_cast<char*>(header), bmp::HeaderBytes);
    if (in.gcount() != static_cast<std::streamsize>(bmp::HeaderBytes)) {
        return makeError(ErrorCode::Io, "read error");
    }
    Result<BitmapLayout> parsed = readHeader(header, fileLength, model);
    if (!parsed) {
        return parsed.error();
    }
    const BitmapLayout layout = parsed.value();

    const std::uint64_t rowsPerChunk = std::max<std::uint64_t>(1, StreamChunkBytes / layout.rowStride);
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(rowsPerChunk * layout.rowStride));
    // Reads file rows [first, first + count); the last row of the file may lack its padding.
    auto readRows = [&](std::uint64_t first, std::uint64_t count) -> Status {
        const std::uint64_t offset = layout.fileRowOffset(first);
        const std::uint64_t bytes = std::min<std::uint64_t>(count * layout.rowStride, fileLength - offset);
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(bytes));
        if (in.gcount() != static_cast<std::streamsize>(bytes)) {
            return makeError(in.bad() ? ErrorCode::Io : ErrorCode::Truncated, "truncated pixel data");
        }
        return {};
    };
    auto rows = [&](auto&& visit) -> Status {
        const std::uint64_t height = layout.height;
        if (!layout.topDown) {
            for (std::uint64_t first = 0; first < height; first += rowsPerChunk) {
                const std::uint64_t count = std::min(rowsPerChunk, height - first);
                if (Status status = readRows(first, count); !status) {
                    return status;
                }
                for (std::uint64_t j = 0; j < count; ++j) {
                    visit(chunk.data() + j * layout.rowStride);
                }
            }
            return {};
        }
        // Top-down file: walk it from its end so the rows still arrive bottom row first.
        for (std::uint64_t end = height; end > 0;) {
            const std::uint64_t count = std::min(rowsPerChunk, end);
            const std::uint64_t first = end - count;
            if (Status status = readRows(first, count); !status) {
                return status;
            }
            for (std::uint64_t j = count; j > 0; --j) {
                visit(chunk.data() + (j - 1) * layout.rowStride);
            }
            end = first;
        }
        return {};
    };
    return runPass(layout, model, keepPixels, rows);
}

}  // namespace

Status decodeBitmap(std::span<const std::uint8_t> file, ImageModel& model) {
    if (file.size() < bmp::HeaderBytes) {
        return makeError(ErrorCode::Truncated, "shorter than the 54-byte bitmap header");
    }
    Result<BitmapLayout> parsed = readHeader(file.data(), file.size(), model);
    if (!parsed) {
        return parsed.error();
    }
    const BitmapLayout layout = parsed.value();
    auto rows = [&](auto&& visit) -> Status {
        for (std::uint64_t upright = 0; upright < layout.height; ++upright) {
            const std::uint64_t fileRow = layout.topDown ? layout.height - 1 - upright : upright;
            visit(file.data() + layout.fileRowOffset(fileRow));
        }
        return {};
    };
    return runPass(layout, model, true, rows);
}

Status LoadBitmapImage(const std::filesystem::path& path, ImageModel& model) {
    return streamBitmap(path, model, true);
}

Status inspectBitmapImage(const std::filesystem::path& path, ImageModel& model) {
    return streamBitmap(path, model, false);
}

}  // namespace imaging
