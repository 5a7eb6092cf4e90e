#include <gtest/gtest.h>

#include <regex>

#include "art.h"
#include "png_codec.h"
#include "test_images.h"

using namespace testimages;

namespace {

class FitCommands : public ::testing::Test {
protected:
    static Ran run(const std::vector<std::string>& args) { return runProgram(TARVIKBMP_PATH, args); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // The PNG of pixels given bottom row first, as makeBitmap takes them.
    void writePng(const std::string& name, int width, int height, const std::vector<Rgba>& pixels) {
        imaging::ImageModel upright;
        upright.Width = width, upright.Height = height, upright.RlAlphaFlag = 1;
        for (int row = height - 1; row >= 0; --row) {
            for (int x = 0; x < width; ++x) {
                const Rgba& p = pixels[static_cast<std::size_t>(row * width + x)];
                upright.Pixels.push_back({colourOf(p), p.a});
            }
        }
        writeFile(path(name), imaging::encodePng(upright).value());
    }

    TempDir m_dir;
};

TEST_F(FitCommands, FitReducesWhatDoesNotFitAndReportsIt) {
    writeFile(path("art.bmp"), makeBitmap(80, 64, testart::softSprite(80, 64, 11)));
    const Ran plain = run({"compress", path("art.bmp"), path("art.rl")});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_NE(plain.err.find("(--fit reduces it)"), std::string::npos) << plain.err;
    const Ran info = run({"info", path("art.bmp")});
    EXPECT_NE(info.out.find("Fits as it is:       no"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Longest row:         n/a"), std::string::npos) << info.out;

    const Ran fitted = run({"compress", path("art.bmp"), path("art.rl"), "--fit"});
    ASSERT_EQ(fitted.exitCode, 0) << fitted.err;
    EXPECT_TRUE(std::regex_search(
        fitted.err, std::regex(R"(art\.bmp: [0-9]+ -> (1?[0-9]{1,2}|2[0-4][0-9]|25[0-3]) combinations, [0-9]+ )"
                               R"(pixels changed, PSNR [0-9]+\.[0-9]{2} dB\n$)")))
        << fitted.err;
    // Quiet, dithered: another file, nothing printed.
    const Ran quiet = run({"compress", path("art.bmp"), path("dithered.rl"), "--fit", "--dither", "--quiet"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_NE(readFile(path("dithered.rl")), readFile(path("art.rl")));

    // An image that fits is left as it is, and the report says so.
    writeFile(path("row.bmp"), makeBitmap(10, 1, redGapBlueRow()));
    const Ran same = run({"compress", path("row.bmp"), path("row.rl"), "--fit"});
    EXPECT_EQ(readFile(path("row.rl")), redGapBlueRl());
    EXPECT_EQ(same.err,
              "tarvikbmp: " + path("row.bmp") +
                  ": 2 -> 2 combinations, 0 pixels changed, PSNR inf dB (identical), fits as it is\n");
}

// Recognised by its signature, not its name: the statistics and the RL bytes of the bitmap of the same
// pixels.
TEST_F(FitCommands, PngFilesAreTakenAsTheBitmapOfTheirPixels) {
    const std::regex fileFields(R"("format": "[a-z]+", "file_size": [0-9]+, )");
    for (const auto& [stem, width, height, pixels] :
         {std::tuple{"soft", 40, 30, testart::softSprite(40, 30, 4)},
          std::tuple{"row", 10, 1, redGapBlueRow()},
          std::tuple{"opaque", 12, 2, repeat({{Red, 13}, {Blue, 11}})}}) {
        SCOPED_TRACE(stem);
        const std::string bmp = path(std::string(stem) + ".bmp"), png = path(std::string(stem) + ".data");
        writeFile(bmp, makeBitmap(width, height, pixels, stem == std::string("opaque") ? 24 : 32));
        writePng(std::string(stem) + ".data", width, height, pixels);
        const Ran pngInfo = run({"info", "--json", png});
        EXPECT_NE(pngInfo.out.find(R"("format": "png", )"), std::string::npos) << pngInfo.out;
        EXPECT_EQ(std::regex_replace(pngInfo.out, fileFields, ""),
                  std::regex_replace(run({"info", "--json", bmp}).out, fileFields, ""));
        for (const char* fit : {"-q", "--fit"}) {
            const int bmpExit = run({"compress", bmp, path("a.rl"), fit, "-q"}).exitCode;
            EXPECT_EQ(run({"compress", png, path("b.rl"), fit, "-q"}).exitCode, bmpExit) << fit;
            if (bmpExit == 0) {
                EXPECT_EQ(readFile(path("a.rl")), readFile(path("b.rl"))) << fit;
            }
            std::filesystem::remove(path("a.rl")), std::filesystem::remove(path("b.rl"));
        }
    }
}

// OUT ending in .png, in any case, is a PNG, any other name a bitmap. Through the PNG and back: the very
// bytes.
TEST_F(FitCommands, DecompressWritesPngByTheOutputName) {
    writeFile(path("row.rl"), redGapBlueRl());
    ASSERT_EQ(run({"decompress", path("row.rl"), path("row.PNG")}).exitCode, 0);
    EXPECT_TRUE(imaging::isPngSignature(readFile(path("row.PNG"))));
    ASSERT_EQ(run({"compress", path("row.PNG"), path("again.rl")}).exitCode, 0);
    EXPECT_EQ(readFile(path("again.rl")), redGapBlueRl());
    ASSERT_EQ(run({"decompress", path("row.rl"), path("row.png.bmp")}).exitCode, 0);
    EXPECT_EQ(readFile(path("row.png.bmp"))[0], 'B');
}

}  // namespace
