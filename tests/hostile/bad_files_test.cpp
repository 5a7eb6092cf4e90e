// The single-image commands on damaged and odd files: each one ends with exit 1 and a message naming
// the file, never a signal or a hang, and the output file it was asked for stays exactly as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "bad_inputs.h"
#include "hostile_support.h"

namespace hostile {
namespace {

const Bytes PreviousOutput = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};

// `tarvikbmp ARGS...` must fail cleanly, naming `named` on stderr.
void expectCleanFailure(const std::vector<std::string>& arguments, const std::string& named,
                        const RunOptions& options = {}) {
    const RunResult result = runTool(arguments, options);
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 1) << describe(result);
    EXPECT_NE(result.err.find(named), std::string::npos)
        << "message does not name " << named << ": " << result.err;
}

// info, info --json and the conversion into an existing OUT, which must survive untouched.
void expectRefusedEverywhere(const ScratchDir& dir, const NamedBytes& file, const char* conversion) {
    const fs::path in = dir / (file.name + ".bmp");
    const fs::path out = dir / "out.bmp";
    writeFile(in, file.bytes);
    writeFile(out, PreviousOutput);

    expectCleanFailure({"info", in.string()}, in.string());
    const RunResult json = runTool({"info", "--json", in.string()});
    ASSERT_TRUE(json.exited()) << describe(json);
    EXPECT_EQ(json.exitCode, 1);
    expectCleanFailure({conversion, in.string(), out.string()}, in.string());

    EXPECT_EQ(readFile(out), PreviousOutput);
    EXPECT_EQ(readFile(in), file.bytes);
    EXPECT_TRUE(temporaryLeftovers(dir.path()).empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

class BadBitmap : public testing::TestWithParam<NamedBytes> {};
TEST_P(BadBitmap, IsRefusedByInfoAndCompress) {
    ScratchDir dir;
    expectRefusedEverywhere(dir, GetParam(), "compress");
}
INSTANTIATE_TEST_SUITE_P(Hostile, BadBitmap, testing::ValuesIn(badBitmaps()),
                         [](const auto& info) { return info.param.name; });

class BadRlFile : public testing::TestWithParam<NamedBytes> {};
TEST_P(BadRlFile, IsRefusedByInfoAndDecompress) {
    ScratchDir dir;
    expectRefusedEverywhere(dir, GetParam(), "decompress");
}
INSTANTIATE_TEST_SUITE_P(Hostile, BadRlFile, testing::ValuesIn(badRlFiles()),
                         [](const auto& info) { return info.param.name; });

TEST(HostileFiles, UnknownTypeStillPrintsJson) {
    ScratchDir dir;
    writeFile(dir / "x.bmp", {'G', 'I', 'F', '8', '9', 'a'});
    const RunResult result = runTool({"info", "--json", (dir / "x.bmp").string()});
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("\"format\": \"unknown\""), std::string::npos) << result.out;
}

TEST(HostileFiles, WrongSignatureForTheDirectionIsRefused) {
    ScratchDir dir;
    const Bytes bitmap = spriteBitmap(8, 8, 1);
    writeFile(dir / "a.bmp", bitmap);
    writeFile(dir / "b.bmp", expectedCompressed(bitmap));
    writeFile(dir / "out.bmp", PreviousOutput);
    expectCleanFailure({"decompress", (dir / "a.bmp").string(), (dir / "out.bmp").string()},
                       (dir / "a.bmp").string());
    expectCleanFailure({"compress", (dir / "b.bmp").string(), (dir / "out.bmp").string()},
                       (dir / "b.bmp").string());
    EXPECT_EQ(readFile(dir / "out.bmp"), PreviousOutput);
}

TEST(HostileFiles, FolderNamedBmpIsRefused) {
    ScratchDir dir;
    fs::create_directory(dir / "folder.bmp");
    writeFile(dir / "folder.bmp" / "inside.bmp", spriteBitmap(4, 4, 2));
    expectCleanFailure({"info", (dir / "folder.bmp").string()}, (dir / "folder.bmp").string());
    expectCleanFailure({"compress", (dir / "folder.bmp").string(), (dir / "out.bmp").string()},
                       (dir / "folder.bmp").string());
    expectCleanFailure({"decompress", (dir / "folder.bmp").string(), (dir / "out.bmp").string()},
                       (dir / "folder.bmp").string());
    EXPECT_FALSE(fs::exists(dir / "out.bmp"));
}

TEST(HostileFiles, SymlinkLoopIsRefused) {
    ScratchDir dir;
    fs::create_symlink("loop_b.bmp", dir / "loop_a.bmp");
    fs::create_symlink("loop_a.bmp", dir / "loop_b.bmp");
    fs::create_symlink("self.bmp", dir / "self.bmp");
    for (const char* name : {"loop_a.bmp", "self.bmp"}) {
        expectCleanFailure({"info", (dir / name).string()}, (dir / name).string());
        expectCleanFailure({"compress", (dir / name).string(), (dir / "out.bmp").string()},
                           (dir / name).string());
    }
    EXPECT_FALSE(fs::exists(dir / "out.bmp"));
}

TEST(HostileFiles, UnwritableOutputsLeaveNothingBehind) {
    ScratchDir dir;
    const Bytes bitmap = spriteBitmap(16, 4, 3);
    writeFile(dir / "in.bmp", bitmap);
    fs::create_directory(dir / "out_folder.bmp");
    writeFile(dir / "out_folder.bmp" / "kept", PreviousOutput);
    expectCleanFailure({"compress", (dir / "in.bmp").string(), (dir / "out_folder.bmp").string()},
                       (dir / "out_folder.bmp").string());
    EXPECT_EQ(readFile(dir / "out_folder.bmp" / "kept"), PreviousOutput);
    expectCleanFailure({"compress", (dir / "in.bmp").string(), (dir / "missing" / "out.bmp").string()},
                       (dir / "missing" / "out.bmp").string());
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_TRUE(temporaryLeftovers(dir.path()).empty());
}

TEST(HostileFiles, ImagesTheRlFormatCannotHoldLeaveTheOutputAlone) {
    ScratchDir dir;
    writeFile(dir / "noisy.bmp", noisyBitmap(32, 32, 4));
    // 300 pixels alternating between two colours: 300 one-byte codes, more than a row may hold.
    writeFile(dir / "long_row.bmp", makeBitmap(300, 1, 24, [](int x, int) {
                  return x % 2 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
              }));
    writeFile(dir / "out.bmp", PreviousOutput);
    for (const char* name : {"noisy.bmp", "long_row.bmp"}) {
        expectCleanFailure({"compress", (dir / name).string(), (dir / "out.bmp").string()},
                           (dir / name).string());
    }
    const RunResult tooMany = runTool({"compress", (dir / "noisy.bmp").string(), (dir / "out.bmp").string()});
    EXPECT_NE(tooMany.err.find("too many colour/alpha combinations"), std::string::npos) << tooMany.err;
    EXPECT_EQ(readFile(dir / "out.bmp"), PreviousOutput);
    EXPECT_TRUE(temporaryLeftovers(dir.path()).empty());
}

TEST(HostileFiles, UnreadableFileIsRefused) {
    if (runningAsRoot() && !runTool({"--version"}, {.unprivileged = true}).execError.empty()) {
        GTEST_SKIP()
            << "running as root and cannot drop to an unprivileged user: permissions would not apply";
    }
    ScratchDir dir;
    writeFile(dir / "locked.bmp", spriteBitmap(8, 8, 5));
    writeFile(dir / "out.bmp", PreviousOutput);
    fs::permissions(dir / "locked.bmp", fs::perms::none);
    giveToUnprivilegedUser(dir.path());
    const RunOptions asUser{.unprivileged = true};
    expectCleanFailure({"info", (dir / "locked.bmp").string()}, (dir / "locked.bmp").string(), asUser);
    expectCleanFailure({"compress", (dir / "locked.bmp").string(), (dir / "out.bmp").string()},
                       (dir / "locked.bmp").string(), asUser);
    EXPECT_EQ(readFile(dir / "out.bmp"), PreviousOutput);
}

}  // namespace
}  // namespace hostile
