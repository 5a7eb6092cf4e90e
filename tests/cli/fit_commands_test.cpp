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

    // The JSON line without the keys that depend on the container rather than the pixels.
    static std::string withoutFileFields(std::string json) {
        json = std::regex_replace(json, std::regex(R"("format": "[a-z]+", "file_size": [0-9]+, )"), "");
        return json;
    }

    TempDir m_dir;
};

TEST_F(FitCommands, FitReducesWhatDoesNotFitAndReportsIt) {
    const std::vector<Rgba> art = testart::softSprite(80, 64, 11);
    writeFile(path("art.bmp"), makeBitmap(80, 64, art));
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
    const Ran result = run({"info", "--json", path("art.rl")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(R"("format": "rl", )"), std::string::npos);

    // Quiet, dithered: same checks on the file, nothing printed.
    const Ran quiet = run({"compress", path("art.bmp"), path("dithered.rl"), "--fit", "--dither", "--quiet"});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(run({"info", path("dithered.rl")}).exitCode, 0);
    EXPECT_NE(readFile(path("dithered.rl")), readFile(path("art.rl")));
}

TEST_F(FitCommands, FitLeavesImagesThatFitAsPlainCompressionWritesThem) {
    writeFile(path("row.bmp"), makeBitmap(10, 1, redGapBlueRow()));
    const Ran fitted = run({"compress", path("row.bmp"), path("row.rl"), "--fit"});
    EXPECT_EQ(fitted.exitCode, 0) << fitted.err;
    EXPECT_EQ(readFile(path("row.rl")), redGapBlueRl());
    EXPECT_NE(fitted.err.find("2 -> 2 combinations, 0 pixels changed, PSNR inf dB (identical), fits as it is"),
              std::string::npos)
        << fitted.err;
}

TEST_F(FitCommands, ImpossibleImagesAreRefusedAndTheOutputKept) {
    std::vector<Rgba> stripes;
    for (int x = 0; x < 30000; ++x) {
        stripes.push_back(x % 2 ? Red : Blue);
    }
    writeFile(path("wide.bmp"), makeBitmap(30000, 1, stripes));
    writeFile(path("kept.rl"), {'o', 'l', 'd'});
    const Ran refused = run({"compress", path("wide.bmp"), path("kept.rl"), "--fit"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("cannot fit: a row of 30000 pixels"), std::string::npos) << refused.err;
    EXPECT_EQ(readFile(path("kept.rl")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(run({"compress", path("wide.bmp"), path("x.rl"), "--dither"}).exitCode, 2) << "--dither needs --fit";
}

TEST_F(FitCommands, PngFilesAreTakenAsTheBitmapOfTheirPixels) {
    for (const auto& [name, width, height, pixels] :
         {std::tuple{"soft", 40, 30, testart::softSprite(40, 30, 4)}, std::tuple{"row", 10, 1, redGapBlueRow()},
          std::tuple{"opaque", 12, 2, repeat({{Red, 13}, {Blue, 11}})}}) {
        const std::string stem = name;
        writeFile(path(stem + ".bmp"), makeBitmap(width, height, pixels, stem == "opaque" ? 24 : 32));
        writePng(stem + ".data", width, height, pixels);  // recognised by its signature, not its name
        const Ran bmpInfo = run({"info", "--json", path(stem + ".bmp")});
        const Ran pngInfo = run({"info", "--json", path(stem + ".data")});
        EXPECT_EQ(pngInfo.exitCode, 0) << pngInfo.err;
        EXPECT_NE(pngInfo.out.find(R"("format": "png", )"), std::string::npos) << pngInfo.out;
        EXPECT_EQ(withoutFileFields(pngInfo.out), withoutFileFields(bmpInfo.out));
        for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--fit", "--quiet"}}) {
            std::vector<std::string> fromBmp = {"compress", path(stem + ".bmp"), path("a.rl")};
            std::vector<std::string> fromPng = {"compress", path(stem + ".data"), path("b.rl")};
            fromBmp.insert(fromBmp.end(), extra.begin(), extra.end());
            fromPng.insert(fromPng.end(), extra.begin(), extra.end());
            const int bmpExit = run(fromBmp).exitCode;
            EXPECT_EQ(run(fromPng).exitCode, bmpExit) << stem;
            if (bmpExit == 0) {
                EXPECT_EQ(readFile(path("a.rl")), readFile(path("b.rl"))) << stem;
            }
            std::filesystem::remove(path("a.rl")), std::filesystem::remove(path("b.rl"));
        }
    }
}

TEST_F(FitCommands, DecompressWritesPngByTheOutputName) {
    writeFile(path("row.rl"), redGapBlueRl());
    ASSERT_EQ(run({"decompress", path("row.rl"), path("row.PNG")}).exitCode, 0);
    const Bytes png = readFile(path("row.PNG"));
    ASSERT_TRUE(imaging::isPngSignature(png));
    EXPECT_EQ(png[25], 6) << "RGBA: the image has transparency";
    // Back to RL through the PNG: the very bytes it came from.
    ASSERT_EQ(run({"compress", path("row.PNG"), path("again.rl")}).exitCode, 0);
    EXPECT_EQ(readFile(path("again.rl")), redGapBlueRl());

    // An opaque RL image gives an RGB PNG; any other name still a bitmap.
    writeFile(path("opaque.bmp"), makeBitmap(12, 2, repeat({{Red, 13}, {Blue, 11}}), 24));
    ASSERT_EQ(run({"compress", path("opaque.bmp"), path("opaque.rl")}).exitCode, 0);
    ASSERT_EQ(run({"decompress", path("opaque.rl"), path("opaque.png")}).exitCode, 0);
    EXPECT_EQ(readFile(path("opaque.png"))[25], 2);
    ASSERT_EQ(run({"decompress", path("opaque.rl"), path("opaque.png.bmp")}).exitCode, 0);
    EXPECT_EQ(readFile(path("opaque.png.bmp"))[0], 'B');
}

}  // namespace
