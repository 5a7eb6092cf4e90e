// End to end: the real `tarvikbmp batch` on temporary trees, PNG files and fitting included.

#include <gtest/gtest.h>

#include "art.h"
#include "test_support.h"

namespace batch_test {
namespace {

Ran runTool(const std::vector<std::string>& args) {
    return runProgram(TARVIKBMP_EXE, args);
}

TEST(BatchCommand, ConvertsATreeAndReportsByExitCode) {
    // 30 bitmaps in the source folder and three subfolders, three of them already RL, and one stray file.
    TempDir dir;
    const std::string src = (dir / "src").string(), out = (dir / "out").string();
    Tree expected{{"sub0", FolderMark}, {"sub1", FolderMark}, {"sub2", FolderMark}};
    for (int i = 0; i < 30; ++i) {
        const std::string name =
            (i % 5 == 0 ? "" : numbered("sub", i % 3) + "/") + numbered("img", i, ".bmp");
        const Bytes bmp = seededBmp(i, i % 2 ? 24 : 32);
        writeFile(dir / "src" / name, i % 9 == 4 ? rlOf(bmp) : bmp);
        expected[name] = rlOf(bmp);
    }
    writeFile(dir / "src/readme.bmp", "not an image");
    fs::create_directories(out);
    Ran ran = runTool({"batch", "compress", src + "/", out, "--subfolders", "--copy", "-j", "4"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(snapshot(out), expected);
    EXPECT_THAT(ran.out, HasSubstr("readme.bmp (unknown type)"));
    EXPECT_THAT(ran.out,
                HasSubstr("31 file(s): 27 converted, 3 copied, 1 skipped (unknown type 1), 0 failed"));
    // Usage errors write nothing.
    fs::remove_all(out), fs::create_directories(out);
    EXPECT_EQ(runTool({"batch", "compress", (dir / "missing").string(), out}).exitCode, 2);
    EXPECT_EQ(runTool({"batch", "squeeze", src, out}).exitCode, 2);
    EXPECT_EQ(runTool({"batch", "decompress", src, out, "--png"}).exitCode, 2);
    EXPECT_TRUE(fs::is_empty(out));
    // A failed entry makes the exit code 1; the run goes on and --quiet keeps stdout empty.
    writeFile(dir / "out/sub0", "blocks the mirror folder");
    ran = runTool({"batch", "compress", src, out, "--subfolders", "--quiet"});
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_THAT(ran.err, HasSubstr(src + "/sub0/img3.bmp: cannot create folder"));
    EXPECT_EQ(readFile(dir / "out/sub1/img1.bmp"), expected["sub1/img1.bmp"]);
}

// With --png, NAME.png is written as NAME.bmp unless NAME.bmp stands beside it; files go by their bytes.
TEST(BatchCommand, PngFilesBecomeBitmapNamesAndGiveWayToABitmapBesideThem) {
    TempDir dir;
    const std::string src = (dir / "src").string(), out = (dir / "out").string();
    const Bytes bmp = makeBitmap(10, 1, redGapBlueRow()), png = pngOf(bmp), rl = rlOf(bmp),
                other = seededBmp(3);
    const Tree sources{
        {"a.png", png}, {"sub/b.PNG", png},        {"c.png", png}, {"c.bmp", other}, {"d.png", bmp},
        {"e.bmp", png}, {"f.png", Bytes{'n', 'o'}}};
    for (const auto& [name, bytes] : sources) {
        writeFile(dir / "src" / name, bytes);
    }
    fs::create_directories(out);
    Ran ran = runTool({"batch", "compress", src, out, "--subfolders", "--png", "-j", "2"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(snapshot(out), (Tree{{"a.bmp", rl},
                                   {"c.bmp", rlOf(other)},
                                   {"d.bmp", rl},
                                   {"e.bmp", rl},
                                   {"sub", FolderMark},
                                   {"sub/b.bmp", rl}}));
    EXPECT_THAT(ran.out, HasSubstr("c.png (bitmap of the same name beside it: c.bmp)"));
    EXPECT_THAT(ran.out, HasSubstr("f.png (unknown type)"));
    // Without --png, .png files are not listed and a PNG named .bmp is of no known type.
    fs::remove_all(out), fs::create_directories(out);
    ran = runTool({"batch", "compress", src, out, "--subfolders"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(snapshot(out), (Tree{{"c.bmp", rlOf(other)}}));
    EXPECT_THAT(ran.out, HasSubstr("2 file(s): 1 converted, 0 copied, 1 skipped (unknown type 1), 0 failed"));
}

TEST(BatchCommand, FitConvertsWhatWouldBeSkippedAndCountsItApart) {
    TempDir dir;
    const std::string src = (dir / "src").string(), out = (dir / "out").string();
    writeFile(dir / "src/soft.bmp", makeBitmap(60, 50, testart::softSprite(60, 50, 8)));
    writeFile(dir / "src/photo.png", pngOf(makeBitmap(400, 8, testart::photo(400, 8, 2))));
    writeFile(dir / "src/plain.bmp", seededBmp(5));
    fs::create_directories(out);
    Ran ran = runTool({"batch", "compress", src, out, "--png"});
    EXPECT_THAT(ran.out,
                HasSubstr("3 file(s): 1 converted, 0 copied, 2 skipped (too many colours 2), 0 failed"));
    ran = runTool({"batch", "compress", src, out, "--png", "--fit"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_THAT(ran.out, HasSubstr("fitted " + src + "/photo.png -> " + out + "/photo.bmp"));
    EXPECT_THAT(ran.out, HasSubstr("3 file(s): 1 converted, 2 fitted, 0 copied, 0 skipped, 0 failed"));
    // What the fitted files hold: tests/batch/entry_points_test.cpp, against the other paths.
}

}  // namespace
}  // namespace batch_test
