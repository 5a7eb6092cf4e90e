#include "fitter.h"

#include <libimagequant.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "bmp_format.h"
#include "colour_space.h"
#include "png_codec.h"
#include "rl_format.h"
#include "row_repair.h"

namespace fitting {

namespace {

using detail::distance2;
using detail::premultiply;
using detail::Premultiplied;
using tarvik::ErrorCode;
using tarvik::makeError;

namespace rl = imaging::rl;

// libimagequant's speed: 1 is slowest and best. Our own refinement below, in the file's precision, does
// the fine work, so a middle speed loses nothing that shows.
constexpr int QuantiserSpeed = 4;
constexpr int RefinementRounds = 4;

std::uint32_t keyOf(const PixelRecord& p) {
    return (static_cast<std::uint32_t>(p.Alpha) << 24) | (static_cast<std::uint32_t>(p.Color) & 0xFFFFFF);
}

PixelRecord recordOf(std::uint32_t key) {
    return {static_cast<std::int32_t>(key & 0xFFFFFF), static_cast<std::int32_t>(key >> 24)};
}

bool visible(const PixelRecord& p) {
    return p.Alpha >= imaging::bmp::MinPaletteAlpha;
}

// The values a fitted image may use: palette entries the file can show exactly, transparent aside.
class Palette {
public:
    explicit Palette(std::vector<PixelRecord> entries) : m_entries(std::move(entries)) {
        std::vector<std::size_t> order(m_entries.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::vector<Premultiplied> shown;
        for (const PixelRecord& e : m_entries) {
            shown.push_back(premultiply(e));
        }
        std::sort(order.begin(), order.end(), [&shown](std::size_t x, std::size_t y) {
            return std::pair(projection(shown[x]), x) < std::pair(projection(shown[y]), y);
        });
        for (const std::size_t i : order) {
            m_index.push_back(i);
            m_shown.push_back(shown[i]);
            m_projection.push_back(projection(shown[i]));
        }
    }

    const std::vector<PixelRecord>& entries() const { return m_entries; }

    // Nearest entry, or transparent (returned as size()) when that is not farther; among equally near
    // entries the first. Entries are searched outwards from the one nearest in r + g + b + a: an entry whose
    // sum differs by s lies at least s^2 / 4 away, which ends the search on each side.
    std::size_t nearest(const Premultiplied& p, float* distance = nullptr) const {
        float best = distance2(p, Premultiplied{});
        std::size_t index = m_entries.size();
        const float key = projection(p);
        const auto middle = std::lower_bound(m_projection.begin(), m_projection.end(), key) - m_projection.begin();
        auto consider = [&](std::ptrdiff_t at) {
            const float d = distance2(p, m_shown[static_cast<std::size_t>(at)]);
            const std::size_t candidate = m_index[static_cast<std::size_t>(at)];
            if (d < best || (d == best && index != m_entries.size() && candidate < index)) {
                best = d;
                index = candidate;
            }
        };
        for (std::ptrdiff_t up = middle; up < static_cast<std::ptrdiff_t>(m_shown.size()); ++up) {
            const float gap = m_projection[static_cast<std::size_t>(up)] - key;
            if (gap * gap > 4 * best) {
                break;
            }
            consider(up);
        }
        for (std::ptrdiff_t down = middle - 1; down >= 0; --down) {
            const float gap = key - m_projection[static_cast<std::size_t>(down)];
            if (gap * gap > 4 * best) {
                break;
            }
            consider(down);
        }
        if (distance != nullptr) {
            *distance = best;
        }
        return index;
    }

    PixelRecord value(std::size_t index) const {
        return index < m_entries.size() ? m_entries[index] : PixelRecord{0, 0};
    }

private:
    static float projection(const Premultiplied& p) { return p.r + p.g + p.b + p.a; }

    std::vector<PixelRecord> m_entries;
    std::vector<std::size_t> m_index;  // entry of each sorted position
    std::vector<Premultiplied> m_shown;
    std::vector<float> m_projection;
};

struct Distinct {
    PixelRecord value;
    Premultiplied shown;
    double count;
};

// Sorted by value, so the result never depends on the order of anything but the pixels themselves.
std::vector<Distinct> distinctVisible(std::span<const PixelRecord> pixels) {
    std::vector<std::uint32_t> keys;
    keys.reserve(pixels.size());
    for (const PixelRecord& p : pixels) {
        if (visible(p)) {
            keys.push_back(keyOf(p));
        }
    }
    std::sort(keys.begin(), keys.end());
    std::vector<Distinct> out;
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i + 1;
        while (j < keys.size() && keys[j] == keys[i]) {
            ++j;
        }
        const PixelRecord value = recordOf(keys[i]);
        out.push_back({value, premultiply(value), static_cast<double>(j - i)});
        i = j;
    }
    return out;
}

// libimagequant's palette for the snapped colours, each entry moved to the nearest value the file shows.
tarvik::Result<std::vector<PixelRecord>> quantiserPalette(std::span<const PixelRecord> snapped, int colours) {
    const std::vector<Distinct> histogram = distinctVisible(snapped);
    std::vector<liq_histogram_entry> entries;
    entries.reserve(histogram.size());
    for (const Distinct& d : histogram) {
        const auto c = static_cast<std::uint32_t>(d.value.Color);
        entries.push_back({liq_color{static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>((c >> 8) & 0xFF),
                                     static_cast<unsigned char>((c >> 16) & 0xFF),
                                     static_cast<unsigned char>(d.value.Alpha)},
                           static_cast<unsigned>(d.count)});
    }
    std::unique_ptr<liq_attr, void (*)(liq_attr*)> attr(liq_attr_create(), liq_attr_destroy);
    if (!attr) {
        return makeError(ErrorCode::OutOfMemory, "out of memory");
    }
    liq_set_max_colors(attr.get(), colours);
    liq_set_speed(attr.get(), QuantiserSpeed);
    std::unique_ptr<liq_histogram, void (*)(liq_histogram*)> hist(liq_histogram_create(attr.get()),
                                                                  liq_histogram_destroy);
    if (!hist || liq_histogram_add_colors(hist.get(), attr.get(), entries.data(), static_cast<int>(entries.size()),
                                          0) != LIQ_OK) {
        return makeError(ErrorCode::Unsupported, "the colour quantiser refused the image");
    }
    liq_result* raw = nullptr;
    if (liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || raw == nullptr) {
        return makeError(ErrorCode::Unsupported, "the colour quantiser failed");
    }
    std::unique_ptr<liq_result, void (*)(liq_result*)> result(raw, liq_result_destroy);
    const liq_palette* palette = liq_get_palette(result.get());
    std::vector<PixelRecord> out;
    std::unordered_set<std::uint32_t> seen;
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color& c = palette->entries[i];
        const PixelRecord shown = detail::nearestShown(c.r, c.g, c.b, c.a);
        if (visible(shown) && seen.insert(keyOf(shown)).second) {
            out.push_back(shown);
        }
    }
    return out;
}

struct Refined {
    Palette palette;
    std::vector<std::size_t> nearest;  // for each distinct input value, its entry (or transparent)
};

// Lloyd rounds against the input itself, every centre kept at a value the file shows; stops when a round
// no longer lowers the error.
Refined refine(std::vector<PixelRecord> entries, const std::vector<Distinct>& input) {
    Refined best{Palette(entries), {}};
    double bestError = std::numeric_limits<double>::infinity();
    for (int round = 0; round <= RefinementRounds; ++round) {
        Palette current(entries);
        struct Sum {
            double r = 0, g = 0, b = 0, a = 0, n = 0;
        };
        std::vector<Sum> sums(entries.size());
        std::vector<std::size_t> nearest(input.size());
        double error = 0;
        for (std::size_t k = 0; k < input.size(); ++k) {
            const Distinct& d = input[k];
            float distance = 0;
            const std::size_t index = current.nearest(d.shown, &distance);
            nearest[k] = index;
            error += distance * d.count;
            if (index < sums.size()) {
                Sum& s = sums[index];
                s.r += d.shown.r * d.count, s.g += d.shown.g * d.count, s.b += d.shown.b * d.count;
                s.a += d.shown.a * d.count, s.n += d.count;
            }
        }
        if (error >= bestError) {
            break;
        }
        bestError = error;
        best = Refined{current, std::move(nearest)};
        if (round == RefinementRounds) {
            break;
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Sum& s = sums[i];
            if (s.n == 0 || s.a <= 0) {
                continue;
            }
            // Back from premultiplied to straight colour at the mean alpha.
            const double alpha = s.a / s.n, unscale = 255.0 / s.a;
            const PixelRecord centre = detail::nearestShown(s.r * unscale, s.g * unscale, s.b * unscale, alpha);
            if (visible(centre)) {
                entries[i] = centre;
            }
        }
    }
    return best;
}

// `distinct` is sorted by value (distinctVisible), so each pixel finds its own by binary search.
void remapNearest(std::span<const PixelRecord> input, const std::vector<Distinct>& distinct, const Refined& refined,
                  std::vector<PixelRecord>& image) {
    std::vector<std::uint32_t> keys;
    keys.reserve(distinct.size());
    for (const Distinct& d : distinct) {
        keys.push_back(keyOf(d.value));
    }
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (!visible(input[i])) {
            image[i] = {0, 0};
            continue;
        }
        const auto k = static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), keyOf(input[i])) - keys.begin());
        image[i] = refined.palette.value(refined.nearest[k]);
    }
}

// Floyd-Steinberg in premultiplied RGBA. Transparent input pixels stay transparent and pass no error on, so
// no speckles appear around a sprite.
void remapDithered(std::span<const PixelRecord> input, const Palette& palette, std::size_t width, std::size_t height,
                   std::vector<PixelRecord>& image) {
    std::vector<Premultiplied> here(width + 2), below(width + 2);
    for (std::size_t y = 0; y < height; ++y) {
        std::fill(below.begin(), below.end(), Premultiplied{});
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t i = y * width + x;
            if (!visible(input[i])) {
                image[i] = {0, 0};
                continue;
            }
            const Premultiplied p = premultiply(input[i]);
            const Premultiplied& e = here[x + 1];
            Premultiplied want{std::clamp(p.r + e.r, 0.0f, 255.0f), std::clamp(p.g + e.g, 0.0f, 255.0f),
                               std::clamp(p.b + e.b, 0.0f, 255.0f), std::clamp(p.a + e.a, 0.0f, 255.0f)};
            const PixelRecord chosen = palette.value(palette.nearest(want));
            image[i] = chosen;
            const Premultiplied got = premultiply(chosen);
            const Premultiplied error{want.r - got.r, want.g - got.g, want.b - got.b, want.a - got.a};
            auto spread = [&error](Premultiplied& to, float weight) {
                to.r += error.r * weight, to.g += error.g * weight, to.b += error.b * weight, to.a += error.a * weight;
            };
            spread(here[x + 2], 7.0f / 16);
            spread(below[x], 3.0f / 16);
            spread(below[x + 1], 5.0f / 16);
            spread(below[x + 2], 1.0f / 16);
        }
        std::swap(here, below);
    }
}

std::int32_t countCombinations(std::span<const PixelRecord> pixels) {
    std::unordered_set<std::uint32_t> seen;
    for (const PixelRecord& p : pixels) {
        if (visible(p)) {
            seen.insert(keyOf(p));
        }
    }
    return static_cast<std::int32_t>(seen.size());
}

}  // namespace

std::string reportLine(const FitReport& report) {
    char psnr[48];
    if (std::isinf(report.psnr)) {
        std::snprintf(psnr, sizeof psnr, "PSNR inf dB (identical)");
    } else {
        std::snprintf(psnr, sizeof psnr, "PSNR %.2f dB", report.psnr);
    }
    return std::to_string(report.combinationsBefore) + " -> " + std::to_string(report.combinationsAfter) +
           " combinations, " + std::to_string(report.pixelsChanged) + " pixels changed, " + psnr +
           (report.untouched ? ", fits as it is" : "");
}

PixelRecord snapToRl(const PixelRecord& pixel) {
    if (!visible(pixel)) {
        return {0, 0};
    }
    // Colour keeps the bits 5-6-5 stores; alpha becomes what its table byte decodes to.
    return {pixel.Color & 0x00F8FCF8, rl::alphaFromLevel(rl::alphaTableByte(pixel.Alpha))};
}

bool changedByFitting(const PixelRecord& input, const PixelRecord& shown) {
    const PixelRecord snapped = snapToRl(input);
    if (snapped.Alpha != shown.Alpha) {
        return true;
    }
    if (snapped.Alpha == 0) {
        return false;  // transparent either way: its colour is never shown
    }
    // Red and blue keep 5 bits (steps of 8), green 6 (steps of 4).
    for (const auto& [shift, step] : {std::pair{0, 8}, std::pair{8, 4}, std::pair{16, 8}}) {
        const int cut = static_cast<int>((snapped.Color >> shift) & 0xFF);
        const int got = static_cast<int>((shown.Color >> shift) & 0xFF);
        if (got != cut && got != cut + step) {
            return true;
        }
    }
    return false;
}

double premultipliedPsnr(std::span<const PixelRecord> reference, std::span<const PixelRecord> image) {
    const std::size_t n = std::min(reference.size(), image.size());
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += distance2(premultiply(reference[i]), premultiply(image[i]));
    }
    if (sum == 0 || n == 0) {
        return std::numeric_limits<double>::infinity();
    }
    const double mse = sum / (4.0 * static_cast<double>(n));
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

namespace {

Result<Fitted> fit(const ImageModel& input, const FitOptions& options) {
    if (input.Width <= 0 || input.Height <= 0 ||
        input.Pixels.size() != static_cast<std::size_t>(input.Width) * static_cast<std::size_t>(input.Height)) {
        return makeError(ErrorCode::Corrupt, "no image to fit");
    }
    const auto width = static_cast<std::size_t>(input.Width);
    const auto height = static_cast<std::size_t>(input.Height);
    Fitted fitted;
    FitReport& report = fitted.report;
    report.combinationsBefore = input.CompressedColorCount;

    // 1. What fits already is coded as plain compression codes it.
    Result<std::vector<std::uint8_t>> plain = imaging::encodeCompressed(input);
    if (plain) {
        fitted.rl = std::move(plain.value());
        report.combinationsAfter = input.CompressedColorCount;
        report.psnr = std::numeric_limits<double>::infinity();
        report.untouched = true;
        return fitted;
    }
    const ErrorCode refusal = plain.error().code;
    if (refusal != ErrorCode::TooManyColours && refusal != ErrorCode::RowTooLong && refusal != ErrorCode::TooLarge) {
        return plain.error();
    }
    if (input.Width > rl::MaxSide || input.Height > rl::MaxSide) {
        return makeError(ErrorCode::TooLarge, "image too large for an RL file: " + std::to_string(input.Width) +
                                                  " x " + std::to_string(input.Height) +
                                                  " pixels (at most 65535 a side)");
    }

    // 2. The free step: nothing the file can show is lost.
    std::vector<PixelRecord> snapped(input.Pixels.size());
    std::transform(input.Pixels.begin(), input.Pixels.end(), snapped.begin(), snapToRl);
    const bool alphaTable = std::any_of(snapped.begin(), snapped.end(), [](const PixelRecord& p) {
        return p.Alpha > 0 && p.Alpha < 255;
    });
    // The header, palette and row table must end within a signed 16-bit offset: a tall image leaves less
    // room for the palette.
    const std::int64_t roomForEntries =
        (static_cast<std::int64_t>(rl::MaxTableEnd) - 2 - static_cast<std::int64_t>(height) -
         static_cast<std::int64_t>(rl::OffsetPalette)) / (alphaTable ? 3 : 2) - 1;
    const std::int32_t budget =
        static_cast<std::int32_t>(std::min<std::int64_t>(rl::MaxPaletteColours, roomForEntries));
    std::vector<PixelRecord> image = snapped;
    const std::int32_t freeCount = countCombinations(snapped);
    if (freeCount > budget) {
        // 3. Quantise to the budget, in the file's precision.
        if (budget < 2) {
            return makeError(ErrorCode::TooLarge, "image too tall for an RL file: " + std::to_string(height) +
                                                      " rows leave no room for a palette");
        }
        Result<std::vector<PixelRecord>> start = quantiserPalette(snapped, budget);
        if (!start) {
            return start.error();
        }
        const std::vector<Distinct> distinct = distinctVisible(input.Pixels);
        const Refined refined = refine(std::move(start.value()), distinct);
        if (options.dither) {
            remapDithered(input.Pixels, refined.palette, width, height, image);
        } else {
            remapNearest(input.Pixels, distinct, refined, image);
        }
        report.quantised = true;
    }

    // 4. Rows whose codes overflow: local merges in those rows only.
    Result<std::int32_t> repaired = detail::repairRows(image, input.Pixels, width, height);
    if (!repaired) {
        return repaired.error();
    }
    report.rowsRepaired = repaired.value();

    ImageModel model;
    if (tarvik::Status made = imaging::modelFromPixels(static_cast<std::uint32_t>(width),
                                                       static_cast<std::uint32_t>(height), image, model);
        !made) {
        return made.error();
    }
    Result<std::vector<std::uint8_t>> bytes = imaging::encodeCompressed(model);
    if (!bytes) {
        return bytes.error();
    }
    fitted.rl = std::move(bytes.value());
    report.combinationsAfter = model.CompressedColorCount;
    for (std::size_t i = 0; i < image.size(); ++i) {
        report.pixelsChanged += changedByFitting(input.Pixels[i], image[i]) ? 1 : 0;
    }
    report.psnr = premultipliedPsnr(input.Pixels, image);
    return fitted;
}

}  // namespace

Result<Fitted> fitImage(const ImageModel& input, const FitOptions& options) {
    try {
        return fit(input, options);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory to fit a " + std::to_string(input.Width) + " x " +
                                                  std::to_string(input.Height) + " image");
    }
}

}  // namespace fitting
