// PNG files and fitting in batch compression: the NAME.png -> NAME.bmp rule, its conflicts, and the count of
// fitted files, through the real `tarvikbmp batch`.

#include <gtest/gtest.h>

#include "art.h"
#include "png_codec.h"
#include "test_support.h"

namespace batch_test {
namespace {

Bytes pngOfPixels(int width, int height, const std::vector<Rgba>& bottomFirst) {
    ImageModel upright;
    upright.Width = width, upright.Height = height, upright.RlAlphaFlag = 1;
    for (int row = height - 1; row >= 0; --row) {
        for (int x = 0; x < width; ++x) {
            const Rgba& p = bottomFirst[static_cast<std::size_t>(row * width + x)];
            upright.Pixels.push_back({colourOf(p), p.a});
        }
    }
    return encodePng(upright).value();
}

TEST(BatchPng, PngFilesBecomeBitmapNamesAndGiveWayToABitmapBesideThem) {
    TempDir dir;
    const std::string src = (dir / "src").string(), out = (dir / "out").string();
    const std::vector<Rgba> row = redGapBlueRow();
    const Bytes rl = rlOf(makeBitmap(10, 1, row));
    const Bytes other = seededBmp(3);
    writeFile(dir / "src/a.png", pngOfPixels(10, 1, row));
    writeFile(dir / "src/sub/b.PNG", pngOfPixels(10, 1, row));
    writeFile(dir / "src/c.png", pngOfPixels(10, 1, row));  // c.bmp beside it wins
    writeFile(dir / "src/c.bmp", other);
    writeFile(dir / "src/d.png", makeBitmap(10, 1, row));  // a bitmap by its bytes, a PNG by its name
    writeFile(dir / "src/e.bmp", pngOfPixels(10, 1, row));  // the other way round
    writeFile(dir / "src/f.png", "not an image");
    fs::create_directories(out);

    Ran ran = runProgram(TARVIKBMP_EXE, {"batch", "compress", src, out, "--subfolders", "--png", "-j", "2"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    const Tree expected{{"a.bmp", rl},     {"c.bmp", rlOf(other)}, {"d.bmp", rl},
                        {"e.bmp", rl},     {"sub", FolderMark},    {"sub/b.bmp", rl}};
    EXPECT_EQ(snapshot(out), expected);
    EXPECT_NE(ran.out.find("c.png (bitmap of the same name beside it: c.bmp)"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("f.png (unknown type)"), std::string::npos) << ran.out;

    // Without --png nothing changes: .png files are not listed and a PNG named .bmp is of no known type.
    fs::remove_all(out), fs::create_directories(out);
    ran = runProgram(TARVIKBMP_EXE, {"batch", "compress", src, out, "--subfolders"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(snapshot(out), (Tree{{"c.bmp", rlOf(other)}}));
    EXPECT_NE(ran.out.find("2 file(s): 1 converted, 0 copied, 1 skipped (unknown type 1), 0 failed"),
              std::string::npos)
        << ran.out;
    EXPECT_EQ(runProgram(TARVIKBMP_EXE, {"batch", "decompress", src, out, "--png"}).exitCode, 2);
}

TEST(BatchPng, FitConvertsWhatWouldBeSkippedAndCountsItApart) {
    TempDir dir;
    const std::string src = (dir / "src").string(), out = (dir / "out").string();
    writeFile(dir / "src/soft.bmp", makeBitmap(60, 50, testart::softSprite(60, 50, 8)));
    writeFile(dir / "src/photo.png", pngOfPixels(400, 8, testart::photo(400, 8, 2)));
    writeFile(dir / "src/plain.bmp", seededBmp(5));
    fs::create_directories(out);

    Ran ran = runProgram(TARVIKBMP_EXE, {"batch", "compress", src, out, "--png"});
    EXPECT_NE(ran.out.find("3 file(s): 1 converted, 0 copied, 2 skipped (too many colours 2), 0 failed"),
              std::string::npos)
        << ran.out;
    ran = runProgram(TARVIKBMP_EXE, {"batch", "compress", src, out, "--png", "--fit"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_NE(ran.out.find("fitted " + src + "/photo.png -> " + out + "/photo.bmp"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("3 file(s): 1 converted, 2 fitted, 0 copied, 0 skipped, 0 failed"), std::string::npos)
        << ran.out;
    for (const char* name : {"soft.bmp", "photo.bmp"}) {
        ImageModel model;
        EXPECT_TRUE(LoadCompressedImage(dir / "out" / name, model)) << name;
    }
    EXPECT_EQ(readFile(dir / "out/plain.bmp"), rlOf(seededBmp(5)));
}

}  // namespace
}  // namespace batch_test
