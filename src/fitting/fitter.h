#pragma once

// Reduces any image to what an RL file can hold: at most 253 colour/alpha combinations beside the key and
// at most 255 bytes of codes per row, with the least visible change.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bmp_format.h"
#include "colour_sets.h"
#include "image_model.h"
#include "rl_format.h"

namespace fitting {

using imaging::ImageModel;
using imaging::PixelRecord;
using tarvik::Result;

struct FitOptions {
    // Error diffusion: smoother gradients, but it breaks runs, so rows get longer before they are repaired.
    bool dither = false;
};

struct FitReport {
    std::int32_t combinationsBefore = 0;  // as the bitmap reader counts them, exact alpha
    std::int32_t combinationsAfter = 0;
    // Pixels the RL file shows differently from the input once both are taken at the precision the file
    // stores (5-6-5 colour, 33 alpha levels); the free step changes none.
    std::int64_t pixelsChanged = 0;
    double psnr = 0;       // dB, premultiplied RGBA against the input; infinity when they are equal
    bool untouched = false;  // the input fitted already: the bytes are plain compression's
    bool quantised = false;
    std::int32_t rowsRepaired = 0;
};

struct Fitted {
    std::vector<std::uint8_t> rl;  // the RL file
    FitReport report;
};

// The report in one line, as the command line and the window give it: "3012 -> 253 combinations, 1480
// pixels changed, PSNR 41.27 dB", with ", fits as it is" for an image left untouched.
std::string reportLine(const FitReport& report);

// The pixel as the RL file shows it: colour cut to 5-6-5, alpha to the value its level decodes to,
// transparent (0, black) below alpha 7.
PixelRecord snapToRl(const PixelRecord& pixel);

// Whether `shown` (a pixel the RL file can show) shows `input` otherwise than the format's own loss would:
// another alpha, or a colour channel at neither of the two values the file can show either side of the
// input's. Plain conversion cuts a channel down and the fitter rounds it to the nearer one, so a flat area
// the fitter kept as close as it can does not count as changed.
bool changedByFitting(const PixelRecord& input, const PixelRecord& shown);

// Counts the colour/alpha combinations of pixels as the RL file shows them; pixels the file shows
// transparent take no palette entry and are left out.
class SnappedCombinations {
public:
    void add(const PixelRecord& pixel) {
        // A pixel like the one before adds nothing: runs, common in art, cost no look-up.
        if (pixel.Color != m_previous.Color || pixel.Alpha != m_previous.Alpha) {
            m_previous = pixel;
            addCombination(imaging::ToRgb565(pixel.Color), pixel.Alpha);
        }
    }

    // The same for one distinct 5-6-5 colour and exact alpha, as the bitmap reader's statistics list them:
    // a file's count then costs a look-up per combination instead of one per pixel.
    void addCombination(std::uint32_t rgb565, std::int32_t alpha) {
        if (alpha < imaging::bmp::MinPaletteAlpha) {
            return;
        }
        // 5-6-5 colour and one of the 32 visible alpha levels: 2^21 keys, so a photo's combinations fill
        // 256 KiB of the set, not the 2 MiB the exact alpha byte would spread them over.
        const std::uint32_t level = imaging::rl::alphaTableByte(alpha);
        m_count += m_set.insert((rgb565 << 5) | (level - 1)) ? 1 : 0;
    }

    std::int32_t count() const { return m_count; }

private:
    imaging::detail::SparseBitset24 m_set;
    PixelRecord m_previous{-1, -1};
    std::int32_t m_count = 0;
};

// The input as a bitmap reader leaves it (Pixels bottom row first, statistics filled). An image that fits
// is coded exactly as plain compression codes it. Refuses with the reason when no RL file can hold the
// image: sides above 65535, or too tall for the row table, or rows too wide for any run coding.
Result<Fitted> fitImage(const ImageModel& input, const FitOptions& options = {});

// PSNR in dB of the premultiplied RGBA of two equally sized images; infinity when they are equal.
double premultipliedPsnr(std::span<const PixelRecord> reference, std::span<const PixelRecord> image);

}  // namespace fitting
