#pragma once

// Reading a Windows bitmap's rows without holding the file: the header checks shared by every bitmap reader,
// and a row source that streams the rows in pieces, bottom row first or top row first.

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <vector>

#include "bmp_format.h"
#include "file_io.h"
#include "image_model.h"

namespace imaging::detail {

struct BitmapLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;  // absolute value of the header's height
    bool topDown = false;      // negative height: the file stores the top row first
    int bytesPerPixel = 0;
    std::uint64_t rowStride = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t pixelCount = 0;
    // 32-bit bit fields in another byte order, or without alpha: rows are rewritten as B G R A before use.
    bool normalize = false;
    std::array<std::uint8_t, 4> sourceByte{0, 1, 2, 3};  // for B G R A; bmp::NoSourceByte gives 255

    std::uint64_t fileRowOffset(std::uint64_t fileRow) const { return dataOffset + fileRow * rowStride; }
    // The stored row that holds row `upright` of the picture counted from the bottom.
    std::uint64_t fileRowOfUpright(std::uint64_t upright) const {
        return topDown ? height - 1 - upright : upright;
    }
};

// Copies the 54 header bytes into the model (Height made positive) and checks that every declared pixel
// byte lies within fileLength; fails with a reason otherwise.
Result<BitmapLayout> readBitmapHeader(std::span<const std::uint8_t> head, std::uint64_t fileLength,
                                      ImageModel& model);

// A stored row as plain B G R A pixels (in and out may be the same row); only for layouts that normalize.
void normalizeRow(const BitmapLayout& layout, const std::uint8_t* in, std::uint8_t* out);

// Called once for each distinct 5-6-5 colour/exact alpha combination the statistics pass finds.
using CombinationVisitor = std::function<void(std::uint32_t rgb565, std::int32_t alpha)>;

// The statistics pass over a bitmap held whole in memory, as decodeBitmap runs it; keepPixels false leaves
// Pixels empty. Returns the layout, so a second pass can walk the same bytes.
Result<BitmapLayout> scanBitmapBytes(std::span<const std::uint8_t> file, ImageModel& model, bool keepPixels,
                                     const CombinationVisitor* eachCombination = nullptr);

// One stored pixel (B G R, or B G R A) as a record; 24-bit pixels are opaque.
inline PixelRecord recordFromBytes(const std::uint8_t* p, int bytesPerPixel) {
    return PixelRecord{p[2] | (p[1] << 8) | (p[0] << 16), bytesPerPixel == 4 ? p[3] : 255};
}

// A row of stored pixels read where it lies, for forEachRunOf: measuring a file's rows needs no pixel
// records, and equal neighbours are told apart by their bytes alone.
template <int BytesPerPixel>
struct StoredRow {
    const std::uint8_t* bytes;
    PixelRecord at(std::size_t x) const { return recordFromBytes(bytes + x * BytesPerPixel, BytesPerPixel); }
    bool sameAsPrevious(std::size_t x) const {
        const std::uint8_t* p = bytes + x * BytesPerPixel;
        return std::equal(p, p + BytesPerPixel, p - BytesPerPixel);
    }
};

// The 54 header bytes of the bitmap the writer makes of the model (24 bits, or 32 with alpha when the RL
// source had transparency or an alpha table); fails where the writer fails on the size alone.
Result<std::vector<std::uint8_t>> bitmapHeaderFor(const ImageModel& model);

class BitmapFileRows {
public:
    // Opens the file and reads its header into the model. Fails like LoadBitmapImage on a bad header.
    static Result<BitmapFileRows> open(const std::filesystem::path& path, ImageModel& model);

    const BitmapLayout& layout() const { return m_layout; }

    // Calls visit(const std::uint8_t* row) for every row, bottom row first or top row first.
    template <class Visit>
    Status forEachRow(bool bottomRowFirst, Visit&& visit) {
        const std::uint64_t height = m_layout.height;
        const std::uint64_t rowsPerChunk = m_chunk.size() / m_layout.rowStride;
        // File rows ascend from the first stored row; the wanted order decides the direction of the walk.
        const bool ascending = bottomRowFirst != m_layout.topDown;
        for (std::uint64_t done = 0; done < height;) {
            const std::uint64_t count = std::min(rowsPerChunk, height - done);
            const std::uint64_t first = ascending ? done : height - done - count;
            if (Status status = readRows(first, count); !status) {
                return status;
            }
            for (std::uint64_t j = 0; j < count; ++j) {
                visit(m_chunk.data() + (ascending ? j : count - 1 - j) * m_layout.rowStride);
            }
            done += count;
        }
        return {};
    }

private:
    BitmapFileRows() = default;
    Status readRows(std::uint64_t first, std::uint64_t count);

    tarvik::FileHandle m_in;
    std::uint64_t m_fileLength = 0;
    BitmapLayout m_layout;
    std::vector<std::uint8_t> m_chunk;
};

}  // namespace imaging::detail
