#pragma once

// How a row splits into runs and what each run costs in codes. The writer codes rows by these rules, and
// whatever must know a row's length before writing it (reports, the fitter) measures with the same ones.

#include <cstddef>
#include <cstdint>
#include <utility>

#include "image_model.h"
#include "rl_format.h"

namespace imaging::detail {

// Mid-row, a visible run needs 4 pixels and a transparent one 3 to be worth a run code; at the end of a
// row every run needs 4, transparent ones too.
constexpr bool codedAsRun(std::size_t length, bool transparent, bool atRowEnd) {
    return atRowEnd || !transparent ? length > 3 : length > 2;
}

// Bytes of one run: a byte per pixel as single codes, else 3 bytes (FE i n) or 2 (FF n) per piece of at most
// 255 pixels.
constexpr std::size_t runCodeBytes(std::size_t length, bool transparent, bool asRun) {
    if (!asRun) {
        return length;
    }
    const std::size_t pieces = (length + rl::MaxRunPiece - 1) / rl::MaxRunPiece;
    return pieces * (transparent ? 2 : 3);
}

// A row of pixel records, as forEachRun reads it. Any row type with the same two members will do.
struct RecordRow {
    const PixelRecord* pixels;
    PixelRecord at(std::size_t x) const { return pixels[x]; }
    bool sameAsPrevious(std::size_t x) const {
        return pixels[x].Color == pixels[x - 1].Color && pixels[x].Alpha == pixels[x - 1].Alpha;
    }
};

// Calls emit(start, length, rgb565, level, asRun) for each run of the row, left to right. A pixel belongs to
// the run before it when it has the run's level and either its 5-6-5 colour or the run is transparent
// (level 0), whatever that pixel's colour.
template <class Row, class Emit>
void forEachRunOf(const Row& row, std::size_t width, Emit&& emit) {
    const PixelRecord first = row.at(0);
    std::size_t runStart = 0;
    std::int32_t runColour = ToRgb565(first.Color);
    std::int32_t runLevel = rl::alphaLevel(first.Alpha);
    for (std::size_t x = 1; x < width; ++x) {
        if (row.sameAsPrevious(x)) {
            continue;  // same value as its neighbour: same colour and level, the run goes on
        }
        const PixelRecord pixel = row.at(x);
        const std::int32_t colour = ToRgb565(pixel.Color);
        const std::int32_t level = rl::alphaLevel(pixel.Alpha);
        if (level == runLevel && (colour == runColour || runLevel == 0)) {
            continue;
        }
        const std::size_t length = x - runStart;
        emit(runStart, length, runColour, runLevel, codedAsRun(length, runLevel == 0, false));
        runStart = x;
        runColour = colour;
        runLevel = level;
    }
    const std::size_t length = width - runStart;
    emit(runStart, length, runColour, runLevel, codedAsRun(length, runLevel == 0, true));
}

template <class Emit>
void forEachRun(const PixelRecord* row, std::size_t width, Emit&& emit) {
    forEachRunOf(RecordRow{row}, width, std::forward<Emit>(emit));
}

// Bytes of codes the writer would need for this row, whatever their number (the writer refuses above 255).
template <class Row>
std::size_t rowCodeBytesOf(const Row& row, std::size_t width) {
    std::size_t bytes = 0;
    if (width == 0) {
        return 0;
    }
    forEachRunOf(row, width, [&bytes](std::size_t, std::size_t length, std::int32_t, std::int32_t level,
                                      bool asRun) { bytes += runCodeBytes(length, level == 0, asRun); });
    return bytes;
}

}  // namespace imaging::detail

namespace imaging {

// Bytes of codes the writer would need for this row, whatever their number (the writer refuses above 255).
inline std::size_t rowCodeBytes(const PixelRecord* row, std::size_t width) {
    return detail::rowCodeBytesOf(detail::RecordRow{row}, width);
}

}  // namespace imaging
