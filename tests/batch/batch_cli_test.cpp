// End to end: the real `tarvikbmp batch` on temporary trees.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>

#include "test_support.h"

namespace batch_test {
namespace {

// Starts the program with its stdout and stderr on the given descriptors.
pid_t start(std::vector<std::string> args, int out, int err) {
    args.insert(args.begin(), TARVIKBMP_EXE);
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out, 1), ::dup2(err, 2);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

int exitCode(pid_t child) {
    int status = 0;
    if (child <= 0 || ::waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Ran {
    int exitCode = -1;
    std::string out, err;
};

Ran runTool(const std::vector<std::string>& args, const TempDir& scratch) {
    const fs::path outPath = scratch / "stdout.txt", errPath = scratch / "stderr.txt";
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Ran ran;
    ran.exitCode = exitCode(start(args, out, err));
    ::close(out), ::close(err);
    Bytes o = readFile(outPath), e = readFile(errPath);
    ran.out.assign(o.begin(), o.end()), ran.err.assign(e.begin(), e.end());
    return ran;
}

// 30 bitmaps in the source folder and three subfolders, three of them already RL, and one stray file.
void buildTree(const fs::path& src) {
    for (int i = 0; i < 30; ++i) {
        fs::path file = (i % 5 == 0 ? src : src / numbered("sub", i % 3)) / numbered("img", i, ".bmp");
        writeFile(file, i % 9 == 4 ? rlOf(seededBmp(i)) : seededBmp(i, i % 2 ? 24 : 32));
    }
    writeFile(src / "readme.bmp", "not an image");
}

TEST(BatchCommand, ConvertsTheSameTreeWhateverTheJobs) {
    TempDir dir;
    buildTree(dir / "src");
    for (const char* out : {"one", "four", "back"}) {
        fs::create_directories(dir / out);
    }
    const std::string src = (dir / "src").string();
    Ran one = runTool(
        {"batch", "compress", src, (dir / "one").string(), "--subfolders", "--copy", "--jobs", "1"}, dir);
    Ran four = runTool(
        {"batch", "compress", src + "/", (dir / "four").string(), "--subfolders", "--copy", "-j", "4"}, dir);
    EXPECT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(four.exitCode, 0) << four.err;
    Tree tree = snapshot(dir / "one");
    EXPECT_EQ(tree.size(), 33u);  // 30 files and 3 folders
    EXPECT_EQ(tree, snapshot(dir / "four"));
    EXPECT_EQ(tree["sub1/img1.bmp"], rlOf(seededBmp(1, 24)));
    EXPECT_NE(one.out.find("readme.bmp (unknown type)"), std::string::npos) << one.out;
    EXPECT_NE(one.out.find("31 file(s): 27 converted, 3 copied, 1 skipped (unknown type 1), 0 failed"),
              std::string::npos)
        << one.out;

    // Every file there is RL now; all of them come back as bitmaps of the same pictures.
    Ran back = runTool(
        {"batch", "decompress", (dir / "one").string(), (dir / "back").string(), "--subfolders"}, dir);
    EXPECT_EQ(back.exitCode, 0) << back.err;
    Tree restored = snapshot(dir / "back");
    EXPECT_EQ(restored.size(), 33u);
    EXPECT_EQ(rlOf(restored["sub1/img1.bmp"]), tree["sub1/img1.bmp"]);
}

TEST(BatchCommand, DryRunExitCodesAndQuiet) {
    TempDir dir;
    buildTree(dir / "src");
    fs::create_directories(dir / "out");
    const std::string src = (dir / "src").string(), out = (dir / "out").string();
    Ran dry = runTool({"batch", "compress", src, out, "--dry-run"}, dir);
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_NE(dry.out.find("would convert " + src + "/img0.bmp -> " + out + "/img0.bmp"), std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("dry run, nothing written"), std::string::npos);
    EXPECT_EQ(runTool({"batch", "compress", (dir / "missing").string(), out}, dir).exitCode, 2);
    EXPECT_EQ(runTool({"batch", "compress", src, (dir / "missing").string()}, dir).exitCode, 2);
    EXPECT_EQ(runTool({"batch", "squeeze", src, out}, dir).exitCode, 2);
    EXPECT_EQ(runTool({"batch", "compress", src, out, "--jobs", "0"}, dir).exitCode, 2);
    EXPECT_TRUE(fs::is_empty(dir / "out"));

    writeFile(dir / "out/sub0", "blocks the mirror folder");
    Ran blocked = runTool({"batch", "compress", src, out, "--subfolders", "--quiet"}, dir);
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_EQ(blocked.out, "");
    EXPECT_NE(blocked.err.find(src + "/sub0/img3.bmp: cannot create folder"), std::string::npos)
        << blocked.err;
    EXPECT_TRUE(fs::exists(dir / "out/sub1/img1.bmp"));  // the run went on
}

TEST(BatchCommand, InterruptCancelsAndExits130) {
    TempDir dir;
    constexpr int Files = 3000;
    for (int i = 0; i < Files; ++i) {
        writeFile(dir / "src" / numbered("f", i, ".bmp"), seededBmp(i % 40));
    }
    fs::create_directories(dir / "out");
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    pid_t child = start({"batch", "compress", (dir / "src").string(), (dir / "out").string(), "--jobs", "1"},
                        pipeEnds[1], 2);
    ::close(pipeEnds[1]);
    // The first buffer of progress lines shows the run is under way.
    char buffer[4096];
    ASSERT_GT(::read(pipeEnds[0], buffer, sizeof buffer), 0);
    ::kill(child, SIGINT);
    while (::read(pipeEnds[0], buffer, sizeof buffer) > 0) {
    }
    ::close(pipeEnds[0]);
    EXPECT_EQ(exitCode(child), 130);
    std::size_t written = snapshot(dir / "out").size();
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, static_cast<std::size_t>(Files));
}

}  // namespace
}  // namespace batch_test
