// `tarvikbmp batch` on hostile folder trees. Whatever the tree holds, the run ends (no signal, no hang),
// reports each bad entry and goes on with the next, writes nothing outside the backup folder, damages no
// existing file, and every target it leaves is the complete conversion of its source.

#include <gtest/gtest.h>

#include <sstream>

#include "bad_inputs.h"
#include "hostile_support.h"

namespace hostile {
namespace {

const Bytes PreviousOutput = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};

RunResult runBatch(const char* direction, const fs::path& source, const fs::path& backup,
                   std::vector<std::string> extra = {}, const RunOptions& options = {}) {
    std::vector<std::string> arguments = {"batch", direction, source.string(), backup.string(),
                                          "--subfolders"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return runTool(arguments, options);
}

// The line of the plain progress output that reports `entry`.
std::string reportLine(const std::string& output, const fs::path& entry) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(entry.string()) != std::string::npos) {
            return line;
        }
    }
    return "";
}

void expectNothingWrittenOutside(const fs::path& root, const TreeSnapshot& before,
                                 const std::vector<std::string>& backupFolders) {
    const auto changes = changesOutside(before, snapshot(root), backupFolders);
    EXPECT_TRUE(changes.empty()) << "written outside the backup folder: " << testing::PrintToString(changes);
    EXPECT_TRUE(temporaryLeftovers(root).empty()) << testing::PrintToString(temporaryLeftovers(root));
}

TEST(HostileTrees, DamagedBitmapsAreSkippedAndTheRunGoesOn) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(src / "sub" / "bad");
    fs::create_directories(src / "folder.bmp");
    fs::create_directories(bak);
    const std::vector<std::pair<fs::path, Bytes>> good = {
        {"first.bmp", spriteBitmap(40, 30, 1)},
        {"sub/second.bmp", spriteBitmap(64, 64, 2)},
        {"folder.bmp/inside.bmp", spriteBitmap(8, 8, 3)},
        {"sub/zlast.bmp", spriteBitmap(3, 5, 4)},
    };
    for (const auto& [path, bytes] : good) {
        writeFile(src / path, bytes);
    }
    const auto bad = badBitmaps();
    for (const auto& file : bad) {
        writeFile(src / "sub" / "bad" / (file.name + ".bmp"), file.bytes);
    }
    writeFile(src / "noisy.bmp", noisyBitmap(20, 20, 5));
    writeFile(src / "unknown.bmp", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0});
    // Targets of skipped entries exist already and must survive.
    fs::create_directories(bak / "sub" / "bad");
    writeFile(bak / "noisy.bmp", PreviousOutput);
    writeFile(bak / "sub" / "bad" / "pixels_truncated.bmp", PreviousOutput);
    const TreeSnapshot before = snapshot(root.path());

    const RunResult result = runBatch("compress", src, bak, {"--jobs", "2"});
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const auto& [path, bytes] : good) {
        EXPECT_EQ(readFile(bak / path), expectedCompressed(bytes)) << path;
    }
    for (const auto& file : bad) {
        const fs::path entry = src / "sub" / "bad" / (file.name + ".bmp");
        EXPECT_NE(reportLine(result.out, entry).find("skipped"), std::string::npos) << file.name << "\n"
                                                                                    << result.out;
        if (file.name != "pixels_truncated") {
            EXPECT_FALSE(fs::exists(bak / "sub" / "bad" / (file.name + ".bmp"))) << file.name;
        }
    }
    EXPECT_NE(reportLine(result.out, src / "noisy.bmp").find("too many colours"), std::string::npos);
    EXPECT_NE(reportLine(result.out, src / "unknown.bmp").find("unknown type"), std::string::npos);
    EXPECT_EQ(readFile(bak / "noisy.bmp"), PreviousOutput);
    EXPECT_EQ(readFile(bak / "sub" / "bad" / "pixels_truncated.bmp"), PreviousOutput);
    EXPECT_FALSE(fs::exists(bak / "folder.bmp" / "folder.bmp"));
    expectNothingWrittenOutside(root.path(), before, {"bak"});
}

TEST(HostileTrees, DamagedRlFilesAreSkippedAndTheRunGoesOn) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(src / "bad");
    fs::create_directories(bak);
    const std::vector<std::pair<fs::path, Bytes>> good = {
        {"a.bmp", expectedCompressed(spriteBitmap(33, 17, 6))},
        {"bad/b.bmp", expectedCompressed(spriteBitmap(200, 3, 7))},
    };
    for (const auto& [path, bytes] : good) {
        writeFile(src / path, bytes);
    }
    const auto bad = badRlFiles();
    for (const auto& file : bad) {
        writeFile(src / "bad" / (file.name + ".bmp"), file.bytes);
    }
    const TreeSnapshot before = snapshot(root.path());

    const RunResult result = runBatch("decompress", src, bak, {"--jobs", "2"});
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const auto& [path, bytes] : good) {
        EXPECT_EQ(readFile(bak / path), expectedDecompressed(bytes)) << path;
    }
    for (const auto& file : bad) {
        const fs::path entry = src / "bad" / (file.name + ".bmp");
        EXPECT_NE(reportLine(result.out, entry).find("skipped"), std::string::npos) << file.name << "\n"
                                                                                    << result.out;
        EXPECT_FALSE(fs::exists(bak / "bad" / (file.name + ".bmp"))) << file.name;
    }
    expectNothingWrittenOutside(root.path(), before, {"bak"});
}

TEST(HostileTrees, BlockedTargetsFailAndTheRunGoesOn) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(src / "clash");
    fs::create_directories(bak / "target_is_folder.bmp");
    writeFile(src / "a.bmp", spriteBitmap(10, 10, 8));
    writeFile(src / "clash" / "c.bmp", spriteBitmap(10, 10, 9));
    writeFile(src / "target_is_folder.bmp", spriteBitmap(10, 10, 10));
    writeFile(src / "z.bmp", spriteBitmap(10, 10, 11));
    writeFile(bak / "clash", PreviousOutput);  // a file where the mirror folder must go
    writeFile(bak / "target_is_folder.bmp" / "kept", PreviousOutput);
    const TreeSnapshot before = snapshot(root.path());

    const RunResult result = runBatch("compress", src, bak);
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find((src / "clash" / "c.bmp").string()), std::string::npos) << result.err;
    EXPECT_NE(result.err.find((src / "target_is_folder.bmp").string()), std::string::npos) << result.err;
    EXPECT_EQ(readFile(bak / "a.bmp"), expectedCompressed(readFile(src / "a.bmp")));
    EXPECT_EQ(readFile(bak / "z.bmp"), expectedCompressed(readFile(src / "z.bmp")));
    EXPECT_EQ(readFile(bak / "clash"), PreviousOutput);
    EXPECT_EQ(readFile(bak / "target_is_folder.bmp" / "kept"), PreviousOutput);
    expectNothingWrittenOutside(root.path(), before, {"bak"});
}

TEST(HostileTrees, UnreadableEntriesFailAndTheRunGoesOn) {
    if (runningAsRoot() && !runTool({"--version"}, {.unprivileged = true}).execError.empty()) {
        GTEST_SKIP()
            << "running as root and cannot drop to an unprivileged user: permissions would not apply";
    }
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(src / "locked_folder");
    fs::create_directories(src / "read_only");
    fs::create_directories(bak / "read_only");
    writeFile(src / "a.bmp", spriteBitmap(12, 12, 12));
    writeFile(src / "locked.bmp", spriteBitmap(12, 12, 13));
    writeFile(src / "locked_folder" / "hidden.bmp", spriteBitmap(12, 12, 14));
    writeFile(src / "read_only" / "r.bmp", spriteBitmap(12, 12, 15));
    writeFile(src / "z.bmp", spriteBitmap(12, 12, 16));
    giveToUnprivilegedUser(root.path());
    fs::permissions(src / "locked.bmp", fs::perms::none);
    fs::permissions(src / "locked_folder", fs::perms::none);
    fs::permissions(bak / "read_only", fs::perms::owner_read | fs::perms::owner_exec);
    const TreeSnapshot before = snapshot(root.path());

    const RunResult result = runBatch("compress", src, bak, {}, {.unprivileged = true});
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find((src / "locked.bmp").string()), std::string::npos) << result.err;
    EXPECT_NE(result.err.find((src / "read_only" / "r.bmp").string()), std::string::npos) << result.err;
    EXPECT_EQ(readFile(bak / "a.bmp"), expectedCompressed(readFile(src / "a.bmp")));
    EXPECT_EQ(readFile(bak / "z.bmp"), expectedCompressed(readFile(src / "z.bmp")));
    EXPECT_FALSE(fs::exists(bak / "locked.bmp"));
    EXPECT_FALSE(fs::exists(bak / "locked_folder"));
    EXPECT_FALSE(fs::exists(bak / "read_only" / "r.bmp"));
    expectNothingWrittenOutside(root.path(), before, {"bak"});
}

TEST(HostileTrees, SymlinkLoopsEndTheWalk) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(src / "sub");
    fs::create_directories(bak);
    writeFile(src / "a.bmp", spriteBitmap(9, 9, 17));
    writeFile(src / "sub" / "b.bmp", spriteBitmap(9, 9, 18));
    fs::create_directory_symlink(".", src / "loop");
    fs::create_directory_symlink("..", src / "sub" / "up");
    fs::create_symlink("l2.bmp", src / "l1.bmp");
    fs::create_symlink("l1.bmp", src / "l2.bmp");
    fs::create_symlink("a.bmp", src / "link.bmp");
    const TreeSnapshot before = snapshot(root.path());

    const RunResult result = runBatch("compress", src, bak, {}, {.timeout = std::chrono::seconds(60)});
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_LE(result.exitCode, 1) << result.err;
    EXPECT_EQ(readFile(bak / "a.bmp"), expectedCompressed(readFile(src / "a.bmp")));
    EXPECT_EQ(readFile(bak / "sub" / "b.bmp"), expectedCompressed(readFile(src / "sub" / "b.bmp")));
    EXPECT_EQ(readFile(bak / "link.bmp"), expectedCompressed(readFile(src / "a.bmp")));
    EXPECT_FALSE(fs::exists(bak / "loop"));
    EXPECT_FALSE(fs::exists(bak / "sub" / "up"));
    EXPECT_FALSE(fs::exists(bak / "l1.bmp"));
    expectNothingWrittenOutside(root.path(), before, {"bak"});
}

TEST(HostileTrees, OddNamesAreConvertedUnderTheSameNames) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    const std::vector<std::string> names = {
        "with space.bmp",       "accentué é à ç ß.bmp", "quote\"d 'single'.bmp",
        "new\nline.bmp",        "tab\there.bmp",        "-dash.bmp",
        "back\\slash.bmp",      "$(echo hi) `x`.bmp",   "semi;colon&amp.bmp",
        "latin1 \xE9t\xE9.bmp", "dossier été/x y.bmp",  "  leading and trailing  .bmp",
        "dots...bmp",
    };
    fs::create_directories(src / "dossier été");
    fs::create_directories(bak);
    unsigned seed = 20;
    for (const auto& name : names) {
        writeFile(src / name, spriteBitmap(7, 5, seed++));
    }
    const TreeSnapshot before = snapshot(root.path());

    const RunResult result = runBatch("compress", src, bak);
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const auto& name : names) {
        EXPECT_EQ(readFile(bak / name), expectedCompressed(readFile(src / name))) << name;
    }
    expectNothingWrittenOutside(root.path(), before, {"bak"});

    // The single-image commands take such names as they are.
    const fs::path odd = src / "new\nline.bmp", out = bak / "out \"\n\xE9.bmp";
    const RunResult single = runTool({"compress", odd.string(), out.string()});
    ASSERT_TRUE(single.exited()) << describe(single);
    EXPECT_EQ(single.exitCode, 0) << single.err;
    EXPECT_EQ(readFile(out), expectedCompressed(readFile(odd)));
}

TEST(HostileTrees, BackupFolderInsideTheSourceFolder) {
    ScratchDir root;
    const fs::path src = root / "src", bak = src / "backup";
    fs::create_directories(src / "sub");
    fs::create_directories(bak);
    writeFile(src / "a.bmp", spriteBitmap(20, 20, 40));
    writeFile(src / "sub" / "b.bmp", spriteBitmap(20, 20, 41));
    const TreeSnapshot before = snapshot(root.path());

    for (int run = 0; run < 2; ++run) {  // the second run meets the first run's outputs in the source tree
        const RunResult result =
            runBatch("compress", src, bak, {"--jobs", "2"}, {.timeout = std::chrono::seconds(60)});
        ASSERT_TRUE(result.exited()) << describe(result);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(readFile(bak / "a.bmp"), expectedCompressed(readFile(src / "a.bmp")));
        EXPECT_EQ(readFile(bak / "sub" / "b.bmp"), expectedCompressed(readFile(src / "sub" / "b.bmp")));
        EXPECT_FALSE(fs::exists(bak / "backup"));
    }
    expectNothingWrittenOutside(root.path(), before, {"src/backup"});
}

TEST(HostileTrees, SourceFolderIsTheBackupFolder) {
    ScratchDir root;
    const fs::path src = root / "src";
    fs::create_directories(src / "sub");
    const Bytes a = spriteBitmap(30, 10, 50), b = spriteBitmap(10, 30, 51), noisy = noisyBitmap(16, 16, 52);
    Bytes truncated;
    for (const auto& file : badBitmaps()) {
        if (file.name == "pixels_truncated") {
            truncated = file.bytes;
        }
    }
    ASSERT_FALSE(truncated.empty());
    writeFile(src / "a.bmp", a);
    writeFile(src / "sub" / "b.bmp", b);
    writeFile(src / "noisy.bmp", noisy);
    writeFile(src / "truncated.bmp", truncated);

    RunResult result = runBatch("compress", src, src, {"--jobs", "2"});
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(src / "a.bmp"), expectedCompressed(a));
    EXPECT_EQ(readFile(src / "sub" / "b.bmp"), expectedCompressed(b));
    EXPECT_EQ(readFile(src / "noisy.bmp"), noisy);
    EXPECT_EQ(readFile(src / "truncated.bmp"), truncated);

    result = runBatch("decompress", src, src, {"--jobs", "2"});
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(src / "a.bmp"), expectedDecompressed(expectedCompressed(a)));
    EXPECT_EQ(readFile(src / "sub" / "b.bmp"), expectedDecompressed(expectedCompressed(b)));
    EXPECT_EQ(readFile(src / "noisy.bmp"), noisy);
    EXPECT_EQ(readFile(src / "truncated.bmp"), truncated);
    EXPECT_TRUE(temporaryLeftovers(root.path()).empty());
}

}  // namespace
}  // namespace hostile
