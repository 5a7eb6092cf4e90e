// `tarvikbmp batch` on hostile folder trees. Whatever the tree holds, the run ends (no signal, no hang),
// reports each bad entry and goes on with the next, writes nothing outside the backup folder, damages no
// existing file, and every target it leaves is the complete conversion of its source.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "hostile_support.h"

namespace hostile {
namespace {

const Bytes PreviousOutput = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};

RunResult runBatch(const char* direction, const fs::path& source, const fs::path& backup,
                   const RunOptions& options = {}) {
    const RunResult result = runTool(
        {"batch", direction, source.string(), backup.string(), "--subfolders", "--jobs", "2"}, options);
    EXPECT_TRUE(result.exited()) << describe(result);
    return result;
}

void expectUnchangedOutside(const fs::path& root, const std::string& backup,
                            const std::map<std::string, std::string>& before) {
    EXPECT_EQ(snapshot(root, backup), before) << "written outside " << backup;
    EXPECT_EQ(temporaryLeftovers(root), std::vector<std::string>{});
}

TEST(HostileTrees, DamagedFilesAreSkippedAndTheRunGoesOn) {
    for (const bool compress : {true, false}) {
        SCOPED_TRACE(compress ? "compress" : "decompress");
        const auto convert = compress ? expectedCompressed : expectedDecompressed;
        ScratchDir root;
        const fs::path src = root / "src", bak = root / "bak";
        std::vector<std::pair<fs::path, Bytes>> good = {
            {"first.bmp", spriteBitmap(40, 30, 1)},
            {"sub/second.bmp", spriteBitmap(200, 3, 2)},
            {"folder.bmp/inside.bmp", spriteBitmap(8, 8, 3)},
            {"sub/zlast.bmp", spriteBitmap(3, 5, 4)},
        };
        for (auto& [path, bytes] : good) {
            writeFile(src / path, compress ? bytes : (bytes = expectedCompressed(bytes)));
        }
        std::vector<NamedBytes> bad = badFiles();
        std::erase_if(bad, [&](const NamedBytes& file) { return file.name.starts_with("rl_") == compress; });
        for (const auto& file : bad) {
            writeFile(src / "sub" / "bad" / (file.name + ".bmp"), file.bytes);
        }
        const fs::path kept = bak / "sub" / "bad" / (bad.back().name + ".bmp");
        writeFile(kept, PreviousOutput);  // the target of a skipped entry exists already and must survive
        const auto before = snapshot(root.path(), "bak");

        const RunResult result = runBatch(compress ? "compress" : "decompress", src, bak);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        for (const auto& [path, bytes] : good) {
            EXPECT_EQ(readFile(bak / path), convert(bytes)) << path;
        }
        for (const auto& file : bad) {
            const fs::path entry = src / "sub" / "bad" / (file.name + ".bmp");
            EXPECT_NE(result.out.find("skipped " + entry.string() + " ("), std::string::npos) << result.out;
            const fs::path target = bak / "sub" / "bad" / entry.filename();
            EXPECT_TRUE(target == kept ? readFile(kept) == PreviousOutput : !fs::exists(target)) << file.name;
        }
        expectUnchangedOutside(root.path(), "bak", before);
    }
}

TEST(HostileTrees, UnreadableEntriesFailAndTheRunGoesOn) {
    if (!permissionsApply()) {
        GTEST_SKIP()
            << "running as root and cannot drop to an unprivileged user: permissions would not apply";
    }
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    fs::create_directories(bak / "read_only");
    for (const char* name : {"a.bmp", "locked.bmp", "locked_folder/hidden.bmp", "read_only/r.bmp", "z.bmp"}) {
        writeFile(src / name, spriteBitmap(12, 12, name[0]));
    }
    giveToUnprivilegedUser(root.path());
    fs::permissions(src / "locked.bmp", fs::perms::none);
    fs::permissions(src / "locked_folder", fs::perms::none);
    fs::permissions(bak / "read_only", fs::perms::owner_read | fs::perms::owner_exec);
    const auto before = snapshot(root.path(), "bak");

    const RunResult result = runBatch("compress", src, bak, {.unprivileged = true});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find((src / "locked.bmp").string()), std::string::npos) << result.err;
    EXPECT_NE(result.err.find((src / "read_only" / "r.bmp").string()), std::string::npos) << result.err;
    EXPECT_NE(result.err.find((src / "locked_folder").string() + "/: cannot list the folder: Permission denied"),
              std::string::npos)
        << result.err;
    for (const char* name : {"a.bmp", "z.bmp"}) {
        EXPECT_EQ(readFile(bak / name), expectedCompressed(readFile(src / name))) << name;
    }
    for (const char* name : {"locked.bmp", "locked_folder", "read_only/r.bmp"}) {
        EXPECT_FALSE(fs::exists(bak / name)) << name;
    }
    expectUnchangedOutside(root.path(), "bak", before);
}

TEST(HostileTrees, OddNamesAndSymlinkLoops) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    const std::vector<std::string> names = {
        "with space.bmp",       "accentué é à ç ß.bmp", "quote\"d 'single'.bmp",
        "new\nline.bmp",        "tab\there.bmp",        "-dash.bmp",
        "back\\slash.bmp",      "$(echo hi) `x`.bmp",   "semi;colon&amp.bmp",
        "latin1 \xE9t\xE9.bmp", "dossier été/x y.bmp",  "  leading and trailing  .bmp",
    };
    fs::create_directories(bak);
    for (const auto& name : names) {
        writeFile(src / name, spriteBitmap(7, 5, static_cast<unsigned>(name.size())));
    }
    fs::create_directory_symlink(".", src / "loop");
    fs::create_directory_symlink("..", src / "dossier été" / "up");
    fs::create_symlink("l2.bmp", src / "l1.bmp");
    fs::create_symlink("l1.bmp", src / "l2.bmp");
    fs::create_symlink("with space.bmp", src / "link.bmp");
    const auto before = snapshot(root.path(), "bak");

    const RunResult result = runBatch("compress", src, bak, {.timeout = std::chrono::seconds(60)});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const auto& name : names) {
        EXPECT_EQ(readFile(bak / name), expectedCompressed(readFile(src / name))) << name;
    }
    EXPECT_EQ(readFile(bak / "link.bmp"), expectedCompressed(readFile(src / "with space.bmp")));
    for (const char* followed : {"loop", "dossier été/up", "l1.bmp", "l2.bmp"}) {
        EXPECT_FALSE(fs::exists(bak / followed)) << followed;
    }
    expectUnchangedOutside(root.path(), "bak", before);

    // The single-image commands take such names as they are.
    const fs::path odd = src / "new\nline.bmp", out = bak / "out \"\n\xE9.bmp";
    const RunResult single = runTool({"compress", odd.string(), out.string()});
    EXPECT_EQ(single.exitCode, 0) << describe(single);
    EXPECT_EQ(readFile(out), expectedCompressed(readFile(odd)));
}

// Links planted in the backup folder, to folders of the source tree and elsewhere, and one as a deeper
// mirror folder: nothing is written through any of them. Each entry behind a link fails with the reason and
// the run goes on.
TEST(HostileTrees, LinksInTheBackupFolderAreNeverFollowed) {
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "--copy" : "convert");
        ScratchDir root;
        const fs::path src = root / "src", bak = root / "bak", elsewhere = root / "elsewhere";
        const Bytes a = spriteBitmap(20, 10, 60), b = spriteBitmap(9, 9, 61), c = spriteBitmap(5, 6, 62);
        const Bytes top = spriteBitmap(6, 6, 63);
        writeFile(src / "sub" / "a.bmp", copy ? expectedCompressed(a) : a);
        writeFile(src / "other" / "b.bmp", copy ? expectedCompressed(b) : b);
        writeFile(src / "deep" / "inner" / "c.bmp", copy ? expectedCompressed(c) : c);
        writeFile(src / "top.bmp", top);
        fs::create_directories(bak / "deep");
        fs::create_directories(elsewhere);
        fs::create_directory_symlink("../src/sub", bak / "sub");
        fs::create_directory_symlink(elsewhere, bak / "other");
        fs::create_directory_symlink("../../elsewhere", bak / "deep" / "inner");
        const auto before = snapshot(root.path(), "bak");

        std::vector<std::string> arguments = {"batch", "compress", src.string(), bak.string(), "--subfolders"};
        if (copy) {
            arguments.push_back("--copy");
        }
        const RunResult result = runTool(arguments);
        EXPECT_EQ(result.exitCode, 1) << describe(result);
        for (const char* entry : {"sub/a.bmp", "other/b.bmp", "deep/inner/c.bmp"}) {
            const std::string line = (src / entry).string() + ": cannot create folder";
            EXPECT_NE(result.err.find(line), std::string::npos) << entry << "\n" << result.err;
        }
        EXPECT_NE(result.err.find("symbolic link"), std::string::npos) << result.err;
        EXPECT_EQ(readFile(bak / "top.bmp"), expectedCompressed(top));
        EXPECT_EQ(snapshot(root.path(), "bak"), before) << "written through a link";
        EXPECT_TRUE(fs::is_empty(elsewhere));
        EXPECT_TRUE(fs::is_symlink(bak / "sub"));
        EXPECT_EQ(temporaryLeftovers(root.path()), std::vector<std::string>{});
    }
}

// A backup folder inside the source must not be walked, not even by a second run that finds the first
// run's outputs there; a backup folder equal to the source converts each file in place, safely.
TEST(HostileTrees, BackupFolderInsideOrEqualToTheSourceFolder) {
    for (const char* backup : {"src/backup", "src"}) {
        SCOPED_TRACE(backup);
        ScratchDir root;
        const fs::path src = root / "src", bak = root / backup;
        fs::create_directories(bak);
        const Bytes a = spriteBitmap(30, 10, 50), b = spriteBitmap(10, 30, 51);
        const Bytes truncated(a.begin(), a.end() - 5);
        writeFile(src / "a.bmp", a);
        writeFile(src / "sub" / "b.bmp", b);
        writeFile(src / "truncated.bmp", truncated);
        const auto before = snapshot(root.path(), "src/backup");

        for (int run = 0; run < 2; ++run) {
            EXPECT_EQ(runBatch("compress", src, bak).exitCode, 0);
            EXPECT_EQ(readFile(bak / "a.bmp"), expectedCompressed(a));
            EXPECT_EQ(readFile(bak / "sub" / "b.bmp"), expectedCompressed(b));
            EXPECT_FALSE(fs::exists(bak / "backup"));
            EXPECT_EQ(readFile(src / "truncated.bmp"), truncated);
        }
        if (src != bak) {
            expectUnchangedOutside(root.path(), "src/backup", before);
            continue;
        }
        EXPECT_EQ(runBatch("decompress", src, src).exitCode, 0);
        EXPECT_EQ(readFile(src / "a.bmp"), expectedDecompressed(expectedCompressed(a)));
        EXPECT_EQ(readFile(src / "sub" / "b.bmp"), expectedDecompressed(expectedCompressed(b)));
        EXPECT_EQ(readFile(src / "truncated.bmp"), truncated);
        EXPECT_EQ(temporaryLeftovers(root.path()), std::vector<std::string>{});
    }
}

// A folder that cannot be listed (here one whose path is longer than the system takes, which stops root too)
// is a failed entry naming the folder and the reason, counted in the summary: the run used to report
// "0 failed" and exit 0 with its files left out.
TEST(HostileTrees, AFolderThatCannotBeListedFailsTheRun) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    writeFile(src / "a.bmp", spriteBitmap(6, 6, 80));
    fs::create_directories(bak);
    const std::string level(200, 'd');
    int folder = open(src.c_str(), O_RDONLY | O_DIRECTORY);
    for (int depth = 0; depth < 24 && folder >= 0; ++depth) {
        ASSERT_EQ(mkdirat(folder, level.c_str(), 0755), 0);
        const int next = openat(folder, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = next;
    }
    ASSERT_GE(folder, 0);
    close(folder);

    // --quiet holds for --dry-run too: nothing on stdout, the failure still on stderr.
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{{}, {"--dry-run"}, {"--dry-run", "-q"}}) {
        std::vector<std::string> arguments = {"batch", "compress", src.string(), bak.string(), "--subfolders"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const RunResult result = runTool(arguments);
        ASSERT_TRUE(result.exited()) << describe(result);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find((src / level).string()), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("cannot list the folder: File name too long"), std::string::npos) << result.err;
        if (options.size() == 2) {
            EXPECT_EQ(result.out, "");
            continue;
        }
        EXPECT_NE(result.out.find("1 converted"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("1 failed"), std::string::npos) << result.out;
    }
    EXPECT_EQ(readFile(bak / "a.bmp"), expectedCompressed(readFile(src / "a.bmp")));
    EXPECT_EQ(std::system(("rm -rf '" + (src / level).string() + "'").c_str()), 0);
}

// With the backup folder inside the source, --copy used to copy the previous run's output one level deeper
// on every run (bak/bak/...): the backup folder is left out of the walk.
TEST(HostileTrees, TheBackupFolderIsLeftOutOfTheWalk) {
    for (const char* direction : {"compress", "decompress"}) {
        SCOPED_TRACE(direction);
        ScratchDir root;
        const fs::path src = root / "src", bak = src / "out" / "bak";
        const Bytes bitmap = spriteBitmap(12, 7, 81), rl = expectedCompressed(bitmap);
        writeFile(src / "a.bmp", bitmap);
        writeFile(src / "sub" / "b.bmp", rl);
        fs::create_directories(bak);
        for (int run = 0; run < 3; ++run) {
            const RunResult result =
                runTool({"batch", direction, src.string(), bak.string(), "--subfolders", "--copy"});
            EXPECT_EQ(result.exitCode, 0) << describe(result);
            EXPECT_NE(result.out.find("2 file(s)"), std::string::npos) << result.out;
        }
        EXPECT_FALSE(fs::exists(bak / "out")) << "the backup folder was walked";
        EXPECT_EQ(readFile(bak / "a.bmp"), std::string(direction) == "compress" ? rl : bitmap);
        EXPECT_EQ(snapshot(bak).size(), 3u);  // a.bmp, sub, sub/b.bmp
    }
}

// Names are printed with their control characters escaped: a file named to retitle the terminal or colour
// its text must not do so in a listing, a progress line or an error.
TEST(HostileTrees, ControlCharactersInNamesReachNoTerminal) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    const std::string evil = "a\x1b]0;pwned\x07\x1b[31mred\r\xc2\x9b" "2J\x7f.bmp";
    writeFile(src / evil, Bytes{'B', 'M', 'x'});  // skipped: truncated
    writeFile(src / ("ok" + evil), spriteBitmap(5, 5, 82));
    fs::create_directories(bak);
    const auto raw = [](const std::string& text) {
        return text.find_first_of("\x1b\x07\r\x7f") != std::string::npos || text.find("\xc2\x9b") != std::string::npos;
    };
    for (const char* option : {"", "--dry-run"}) {
        SCOPED_TRACE(option);
        std::vector<std::string> arguments = {"batch", "compress", src.string(), bak.string()};
        if (*option != 0) {
            arguments.push_back(option);
        }
        const RunResult result = runTool(arguments);
        EXPECT_EQ(result.exitCode, 0) << describe(result);
        EXPECT_FALSE(raw(result.out)) << result.out;
        EXPECT_NE(result.out.find("a\\x1b]0;pwned\\x07\\x1b[31mred\\x0d\\xc2\\x9b2J\\x7f.bmp"), std::string::npos)
            << result.out;
    }
    EXPECT_EQ(readFile(bak / ("ok" + evil)), expectedCompressed(readFile(src / ("ok" + evil))));
    const RunResult single = runTool({"compress", (src / evil).string(), (bak / "x.rl").string()});
    EXPECT_EQ(single.exitCode, 1);
    EXPECT_FALSE(raw(single.err)) << single.err;
    EXPECT_NE(single.err.find("pwned"), std::string::npos) << single.err;
}

// A new target takes its source's permission bits: a private bitmap must not become an RL file everyone can
// read. A replaced target keeps its own bits and, when running as root, its owner.
TEST(HostilePermissions, TargetsTakeTheSourcesBitsAndReplacementsKeepTheirOwn) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    const Bytes bitmap = spriteBitmap(9, 9, 85), rl = expectedCompressed(bitmap);
    writeFile(src / "private.bmp", bitmap);
    writeFile(src / "group.bmp", rl);  // copied with --copy
    writeFile(src / "replaced.bmp", bitmap);
    writeFile(bak / "replaced.bmp", Bytes{'o', 'l', 'd'});
    const mode_t mask = umask(022);
    chmod((src / "private.bmp").c_str(), 0600);
    chmod((src / "group.bmp").c_str(), 0640);
    chmod((src / "replaced.bmp").c_str(), 0600);
    chmod((bak / "replaced.bmp").c_str(), 0664);
    const bool root_ = geteuid() == 0;
    if (root_) {
        ASSERT_EQ(lchown((bak / "replaced.bmp").c_str(), 65534, 65534), 0);
    }
    const auto modeOf = [](const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 07777;
    };

    const RunResult batch = runTool({"batch", "compress", src.string(), bak.string(), "--copy"});
    EXPECT_EQ(batch.exitCode, 0) << describe(batch);
    EXPECT_EQ(modeOf(bak / "private.bmp"), 0600u);
    EXPECT_EQ(modeOf(bak / "group.bmp"), 0640u);
    EXPECT_EQ(readFile(bak / "replaced.bmp"), rl);
    EXPECT_EQ(modeOf(bak / "replaced.bmp"), 0664u);
    if (root_) {
        struct stat info {};
        ASSERT_EQ(stat((bak / "replaced.bmp").c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
    // The single conversions likewise, both ways.
    const RunResult compress = runTool({"compress", (src / "private.bmp").string(), (root / "one.rl").string()});
    EXPECT_EQ(compress.exitCode, 0) << describe(compress);
    EXPECT_EQ(modeOf(root / "one.rl"), 0600u);
    const RunResult decompress = runTool({"decompress", (root / "one.rl").string(), (root / "back.bmp").string()});
    EXPECT_EQ(decompress.exitCode, 0) << describe(decompress);
    EXPECT_EQ(modeOf(root / "back.bmp"), 0600u);
    const RunResult png = runTool({"decompress", (root / "one.rl").string(), (root / "back.png").string()});
    EXPECT_EQ(png.exitCode, 0) << describe(png);
    EXPECT_EQ(modeOf(root / "back.png"), 0600u);
    const RunResult fromPng = runTool({"compress", (root / "back.png").string(), (root / "two.rl").string()});
    EXPECT_EQ(fromPng.exitCode, 0) << describe(fromPng);
    EXPECT_EQ(modeOf(root / "two.rl"), 0600u);
    const RunResult fit = runTool({"compress", "--fit", (root / "back.png").string(), (root / "three.rl").string()});
    EXPECT_EQ(fit.exitCode, 0) << describe(fit);
    EXPECT_EQ(modeOf(root / "three.rl"), 0600u);
    umask(mask);
}

}  // namespace
}  // namespace hostile
