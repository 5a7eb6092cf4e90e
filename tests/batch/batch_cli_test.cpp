// End to end: the real `tarvikbmp batch` on temporary trees.

#include <gtest/gtest.h>

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
    EXPECT_NE(ran.out.find("readme.bmp (unknown type)"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("31 file(s): 27 converted, 3 copied, 1 skipped (unknown type 1), 0 failed"),
              std::string::npos)
        << ran.out;
    // Usage errors write nothing.
    fs::remove_all(out), fs::create_directories(out);
    EXPECT_EQ(runTool({"batch", "compress", (dir / "missing").string(), out}).exitCode, 2);
    EXPECT_EQ(runTool({"batch", "squeeze", src, out}).exitCode, 2);
    EXPECT_TRUE(fs::is_empty(out));
    // A failed entry makes the exit code 1; the run goes on and --quiet keeps stdout empty.
    writeFile(dir / "out/sub0", "blocks the mirror folder");
    ran = runTool({"batch", "compress", src, out, "--subfolders", "--quiet"});
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_NE(ran.err.find(src + "/sub0/img3.bmp: cannot create folder"), std::string::npos) << ran.err;
    EXPECT_EQ(readFile(dir / "out/sub1/img1.bmp"), expected["sub1/img1.bmp"]);
}

}  // namespace
}  // namespace batch_test
