#include "row_repair.h"

#include <algorithm>

#include "colour_space.h"
#include "rl_runs.h"

namespace fitting::detail {

namespace {

using imaging::PixelRecord;
using imaging::detail::codedAsRun;
using imaging::detail::runCodeBytes;
using tarvik::ErrorCode;
using tarvik::makeError;

constexpr std::size_t MaxRowBytes = imaging::rl::MaxRowBytes;
// Windows of up to this many neighbouring runs are weighed for one merge: four single pixels are the
// smallest group a run code makes shorter.
constexpr std::size_t MaxWindow = 4;

// Sums over the input pixels of a stretch, so the change of giving them all one value costs O(1) to find.
struct Moments {
    double n = 0, r = 0, g = 0, b = 0, a = 0, squares = 0;

    void add(const Premultiplied& p) {
        n += 1, r += p.r, g += p.g, b += p.b, a += p.a;
        squares += double{p.r} * p.r + double{p.g} * p.g + double{p.b} * p.b + double{p.a} * p.a;
    }
    void add(const Moments& m) {
        n += m.n, r += m.r, g += m.g, b += m.b, a += m.a, squares += m.squares;
    }
    // Sum of squared differences between the pixels and one value.
    double costOf(const Premultiplied& c) const {
        const double cost = squares - 2 * (c.r * r + c.g * g + c.b * b + c.a * a) +
                            n * (double{c.r} * c.r + double{c.g} * c.g + double{c.b} * c.b + double{c.a} * c.a);
        return std::max(cost, 0.0);
    }
};

struct Segment {
    std::size_t start = 0, length = 0;
    PixelRecord value;
    Premultiplied shown;
    bool transparent = false;
    Moments moments;
    double cost = 0;
    std::size_t bytes = 0;
};

struct Merge {
    std::size_t first = 0, last = 0;  // segments joined, inclusive
    std::size_t valueOf = 0;          // the segment whose value they all take
    std::size_t saved = 0;            // bytes
    double costPerByte = 0;
};

std::vector<Segment> segmentsOf(const PixelRecord* row, const PixelRecord* input, std::size_t width) {
    std::vector<Segment> segments;
    imaging::detail::forEachRun(row, width, [&](std::size_t start, std::size_t length, std::int32_t,
                                                std::int32_t level, bool asRun) {
        Segment s;
        s.start = start;
        s.length = length;
        s.value = row[start];
        s.transparent = level == 0;
        s.shown = s.transparent ? Premultiplied{} : premultiply(s.value);
        for (std::size_t x = start; x < start + length; ++x) {
            s.moments.add(premultiply(input[x]));
        }
        s.cost = s.moments.costOf(s.shown);
        s.bytes = runCodeBytes(length, s.transparent, asRun);
        segments.push_back(s);
    });
    return segments;
}

// The cheapest merge starting at segment i, if any saves a byte.
bool bestMergeFrom(const std::vector<Segment>& segments, std::size_t i, Merge& best) {
    bool found = false;
    Moments moments = segments[i].moments;
    double oldCost = segments[i].cost;
    std::size_t oldBytes = segments[i].bytes, length = segments[i].length;
    for (std::size_t last = i + 1; last < segments.size() && last - i < MaxWindow; ++last) {
        moments.add(segments[last].moments);
        oldCost += segments[last].cost;
        oldBytes += segments[last].bytes;
        length += segments[last].length;
        const bool atRowEnd = last + 1 == segments.size();
        for (std::size_t candidate = i; candidate <= last; ++candidate) {
            const Segment& s = segments[candidate];
            const std::size_t bytes = runCodeBytes(length, s.transparent, codedAsRun(length, s.transparent, atRowEnd));
            if (bytes >= oldBytes) {
                continue;
            }
            const double perByte = (moments.costOf(s.shown) - oldCost) / static_cast<double>(oldBytes - bytes);
            if (!found || perByte < best.costPerByte) {
                best = Merge{i, last, candidate, oldBytes - bytes, perByte};
                found = true;
            }
        }
    }
    return found;
}

// Gives the row's runs merges until its codes fit; false when no merge can shorten it any more.
bool repairRow(PixelRecord* row, const PixelRecord* input, std::size_t width) {
    for (;;) {
        const std::vector<Segment> segments = segmentsOf(row, input, width);
        std::size_t bytes = 0;
        for (const Segment& s : segments) {
            bytes += s.bytes;
        }
        if (bytes <= MaxRowBytes) {
            return true;
        }
        std::vector<Merge> merges;
        for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
            Merge merge;
            if (bestMergeFrom(segments, i, merge)) {
                merges.push_back(merge);
            }
        }
        if (merges.empty()) {
            return false;
        }
        std::stable_sort(merges.begin(), merges.end(),
                         [](const Merge& x, const Merge& y) { return x.costPerByte < y.costPerByte; });
        // Cheapest first, never two over one segment, until the bytes saved cover the excess; the savings of
        // separate merges add up, so one pass usually suffices.
        std::vector<bool> taken(segments.size(), false);
        std::size_t saved = 0;
        for (const Merge& merge : merges) {
            if (std::any_of(taken.begin() + static_cast<std::ptrdiff_t>(merge.first),
                            taken.begin() + static_cast<std::ptrdiff_t>(merge.last) + 1, [](bool t) { return t; })) {
                continue;
            }
            std::fill(taken.begin() + static_cast<std::ptrdiff_t>(merge.first),
                      taken.begin() + static_cast<std::ptrdiff_t>(merge.last) + 1, true);
            const PixelRecord value = segments[merge.valueOf].value;
            const std::size_t end = segments[merge.last].start + segments[merge.last].length;
            std::fill(row + segments[merge.first].start, row + end, value);
            saved += merge.saved;
            if (bytes - saved <= MaxRowBytes) {
                break;
            }
        }
    }
}

}  // namespace

tarvik::Result<std::int32_t> repairRows(std::vector<PixelRecord>& image, std::span<const PixelRecord> input,
                                        std::size_t width, std::size_t height) {
    std::int32_t repaired = 0;
    for (std::size_t y = 0; y < height; ++y) {
        PixelRecord* row = image.data() + y * width;
        if (imaging::rowCodeBytes(row, width) <= MaxRowBytes) {
            continue;
        }
        if (!repairRow(row, input.data() + y * width, width)) {
            return makeError(ErrorCode::RowTooLong,
                             "a row of " + std::to_string(width) +
                                 " pixels cannot be coded in 255 bytes, even as one run");
        }
        ++repaired;
    }
    return repaired;
}

}  // namespace fitting::detail
