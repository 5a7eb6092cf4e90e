// Quality of two reductions of one image, both as an RL file shows them: prints the PSNR (dB, premultiplied
// RGBA) of our RL file and of another tool's PNG, the latter snapped to 5-6-5 colour and the 33 alpha
// levels, against the input image.
//
//     fit_bench_psnr ORIGINAL.png OURS.rl THEIRS.png

#include <cstdio>
#include <vector>

#include "fitter.h"
#include "png_codec.h"

namespace {

std::vector<imaging::PixelRecord> bottomRowFirst(const imaging::ImageModel& topFirst) {
    std::vector<imaging::PixelRecord> out;
    const auto width = static_cast<std::size_t>(topFirst.Width);
    for (std::size_t row = static_cast<std::size_t>(topFirst.Height); row > 0; --row) {
        out.insert(out.end(), topFirst.Pixels.begin() + (row - 1) * width, topFirst.Pixels.begin() + row * width);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ORIGINAL.png OURS.rl THEIRS.png\n", argv[0]);
        return 2;
    }
    imaging::ImageModel original, ours, theirs;
    if (!imaging::LoadPngImage(argv[1], original) || !imaging::LoadCompressedImage(argv[2], ours) ||
        !imaging::LoadPngImage(argv[3], theirs) || ours.Width != original.Width || ours.Height != original.Height ||
        theirs.Width != original.Width || theirs.Height != original.Height) {
        std::fprintf(stderr, "%s: cannot read the three images, or their sizes differ\n", argv[1]);
        return 1;
    }
    std::vector<imaging::PixelRecord> theirsShown;
    for (const imaging::PixelRecord& p : theirs.Pixels) {
        theirsShown.push_back(fitting::snapToRl(p));
    }
    std::printf("%.4f %.4f\n", fitting::premultipliedPsnr(original.Pixels, bottomRowFirst(ours)),
                fitting::premultipliedPsnr(original.Pixels, theirsShown));
    return 0;
}
