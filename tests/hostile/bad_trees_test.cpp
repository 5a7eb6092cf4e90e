// `tarvikbmp batch` on hostile folder trees. Whatever the tree holds, the run ends (no signal, no hang),
// reports each bad entry and goes on with the next, writes nothing outside the backup folder, damages no
// existing file, and every target it leaves is the complete conversion of its source.

#include <cstdlib>

#include "hostile_support.h"

namespace hostile {
namespace {

// A backup folder inside the source is left out of the walk: with --copy, later runs used to copy the
// earlier runs' output one level deeper each time (bak/out/bak/...). The listing is the same either way.
TEST_F(HostileTrees, ABackupFolderInsideTheSourceIsLeftOutOfTheWalk) {
    bak = src / "out" / "bak";
    const Bytes bitmap = spriteBitmap(12, 7, 81), rl = rlOf(bitmap);
    writeFile(src / "a.bmp", bitmap);
    writeFile(src / "sub" / "b.bmp", rl);
    fs::create_directories(bak);
    const auto before = snapshot(root.path, "src/out/bak");
    for (int run = 0; run < 3; ++run) {
        const RunResult result = runBatch("compress", {"--subfolders", "--copy"});
        EXPECT_EQ(result.exitCode, 0) << describe(result);
        EXPECT_THAT(result.out, HasSubstr("2 file(s)"));
    }
    EXPECT_FALSE(fs::exists(bak / "out")) << "the backup folder was walked";
    EXPECT_EQ(readFile(bak / "a.bmp"), rl);
    EXPECT_EQ(readFile(bak / "sub" / "b.bmp"), rl);
    EXPECT_EQ(snapshot(bak).size(), 3u);  // a.bmp, sub, sub/b.bmp
    expectUnchangedOutside("src/out/bak", before);
}

TEST_F(HostileTrees, UnreadableEntriesFailAndTheRunGoesOn) {
    if (!permissionsApply()) {
        GTEST_SKIP()
            << "running as root and cannot drop to an unprivileged user: permissions would not apply";
    }
    fs::create_directories(bak / "read_only");
    for (const char* name : {"a.bmp", "locked.bmp", "locked_folder/hidden.bmp", "read_only/r.bmp", "z.bmp"}) {
        writeFile(src / name, spriteBitmap(12, 12, name[0]));
    }
    giveToUnprivilegedUser(root.path);
    fs::permissions(src / "locked.bmp", fs::perms::none);
    fs::permissions(src / "locked_folder", fs::perms::none);
    fs::permissions(bak / "read_only", fs::perms::owner_read | fs::perms::owner_exec);
    const auto before = snapshot(root.path, "bak");

    const RunResult result = runBatch("compress", {"--subfolders"}, {.unprivileged = true});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr((src / "locked.bmp").string() + ": cannot read: Permission denied"));
    EXPECT_THAT(result.err, HasSubstr((bak / "read_only" / "r.bmp").string() + ": cannot write: "));
    EXPECT_THAT(result.err,
                HasSubstr((src / "locked_folder").string() + "/: cannot list the folder: Permission denied"));
    for (const char* name : {"a.bmp", "z.bmp"}) {
        EXPECT_EQ(readFile(bak / name), rlOf(readFile(src / name))) << name;
    }
    for (const char* name : {"locked.bmp", "locked_folder", "read_only/r.bmp"}) {
        EXPECT_FALSE(fs::exists(bak / name)) << name;
    }
    expectUnchangedOutside("bak", before);
}

// Names with spaces, quotes, shell syntax, line ends, Latin-1 bytes, and control characters meant to retitle
// the terminal or colour its text: each converts under its own name and is printed escaped, in a listing,
// a progress line or an error. Links that loop are not followed.
TEST_F(HostileTrees, OddNamesAndSymlinkLoops) {
    const std::string evil = "a\x1b]0;pwned\x07\x1b[31mred\r\xc2\x9b\x32J\x7f.bmp";  // \x32: "2"
    Strings names = {
        "with space.bmp",       "accentué é à ç ß.bmp", "quote\"d 'single'.bmp",
        "new\nline.bmp",        "tab\there.bmp",        "-dash.bmp",
        "back\\slash.bmp",      "$(echo hi) `x`.bmp",   "semi;colon&amp.bmp",
        "latin1 \xE9t\xE9.bmp", "dossier été/x y.bmp",  "  leading and trailing  .bmp",
    };
    names.push_back("ok" + evil);
    fs::create_directories(bak);
    for (const auto& name : names) {
        writeFile(src / name, spriteBitmap(7, 5, static_cast<unsigned>(name.size())));
    }
    writeFile(src / evil, Bytes{'B', 'M', 'x'});  // skipped: truncated
    fs::create_directory_symlink(".", src / "loop");
    fs::create_directory_symlink("..", src / "dossier été" / "up");
    fs::create_symlink("l2.bmp", src / "l1.bmp");
    fs::create_symlink("l1.bmp", src / "l2.bmp");
    fs::create_symlink("with space.bmp", src / "link.bmp");
    const auto before = snapshot(root.path, "bak");
    const auto raw = [](const std::string& text) {
        return text.find_first_of("\x1b\x07\r\x7f") != std::string::npos ||
               text.find("\xc2\x9b") != std::string::npos;
    };
    for (const Strings& options :
         {Strings{"--subfolders", "--dry-run"}, Strings{"--subfolders", "--jobs", "2"}}) {
        SCOPED_TRACE(options.back());
        const RunResult result = runBatch("compress", options, {.timeout = std::chrono::seconds(60)});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_FALSE(raw(result.out)) << result.out;
        EXPECT_THAT(result.out, HasSubstr("a\\x1b]0;pwned\\x07\\x1b[31mred\\x0d\\xc2\\x9b2J\\x7f.bmp"));
    }
    for (const auto& name : names) {
        EXPECT_EQ(readFile(bak / name), rlOf(readFile(src / name))) << name;
    }
    EXPECT_EQ(readFile(bak / "link.bmp"), rlOf(readFile(src / "with space.bmp")));
    for (const char* followed : {"loop", "dossier été/up", "l1.bmp", "l2.bmp"}) {
        EXPECT_FALSE(fs::exists(bak / followed)) << followed;
    }
    expectUnchangedOutside("bak", before);
    // The single-image commands take such names as they are, and escape them in their messages.
    const fs::path odd = src / "new\nline.bmp", out = bak / "out \"\n\xE9.bmp";
    const RunResult single = runTool({"compress", odd.string(), out.string()});
    EXPECT_EQ(single.exitCode, 0) << describe(single);
    EXPECT_EQ(readFile(out), rlOf(readFile(odd)));
    const RunResult refused = runTool({"compress", (src / evil).string(), (bak / "x.rl").string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(raw(refused.err)) << refused.err;
    EXPECT_THAT(refused.err, HasSubstr("pwned"));
}

// Links planted in the backup folder, to folders of the source tree and elsewhere, and one as a deeper
// mirror folder: nothing is written through any of them. Each entry behind a link fails with the reason and
// the run goes on.
TEST_F(HostileTrees, LinksInTheBackupFolderAreNeverFollowed) {
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "--copy" : "convert");
        root.clear();
        const Bytes a = spriteBitmap(20, 10, 60), b = spriteBitmap(9, 9, 61), c = spriteBitmap(5, 6, 62);
        const Bytes top = spriteBitmap(6, 6, 63);
        writeFile(src / "sub" / "a.bmp", copy ? rlOf(a) : a);
        writeFile(src / "other" / "b.bmp", copy ? rlOf(b) : b);
        writeFile(src / "deep" / "inner" / "c.bmp", copy ? rlOf(c) : c);
        writeFile(src / "top.bmp", top);
        fs::create_directories(bak / "deep");
        fs::create_directories(root / "elsewhere");
        fs::create_directory_symlink("../src/sub", bak / "sub");
        fs::create_directory_symlink(root / "elsewhere", bak / "other");
        fs::create_directory_symlink("../../elsewhere", bak / "deep" / "inner");
        const auto before = snapshot(root.path, "bak");

        const RunResult result =
            runBatch("compress", copy ? Strings{"--subfolders", "--copy"} : Strings{"--subfolders"});
        EXPECT_EQ(result.exitCode, 1) << describe(result);
        for (const char* entry : {"sub/a.bmp", "other/b.bmp", "deep/inner/c.bmp"}) {
            EXPECT_THAT(result.err, HasSubstr((src / entry).string() + ": cannot create folder"));
        }
        EXPECT_THAT(result.err, HasSubstr("symbolic link"));
        EXPECT_EQ(readFile(bak / "top.bmp"), rlOf(top));
        EXPECT_EQ(snapshot(root.path, "bak"), before) << "written through a link";
        EXPECT_TRUE(fs::is_empty(root / "elsewhere"));
        EXPECT_TRUE(fs::is_symlink(bak / "sub"));
        expectNoTemporaries();
    }
}

// A folder that cannot be listed (here one whose path is longer than the system takes, which stops root too)
// is a failed entry naming the folder and the reason, counted in the summary: the run used to report
// "0 failed" and exit 0 with its files left out.
TEST_F(HostileTrees, AFolderThatCannotBeListedFailsTheRun) {
    writeFile(src / "a.bmp", spriteBitmap(6, 6, 80));
    fs::create_directories(bak);
    // Made one level at a time from descriptors: no single path names the deepest ones.
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
    for (const Strings& options :
         {Strings{"--subfolders"}, {"--subfolders", "--dry-run"}, {"--subfolders", "--dry-run", "-q"}}) {
        SCOPED_TRACE(options.back());
        const RunResult result = runBatch("compress", options);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr((src / level).string()));
        EXPECT_THAT(result.err, HasSubstr("cannot list the folder: File name too long"));
        EXPECT_THAT(result.out, options.back() == "-q"
                                    ? testing::Matcher<std::string>(testing::IsEmpty())
                                    : testing::AllOf(HasSubstr("1 converted"), HasSubstr("1 failed")));
    }
    EXPECT_EQ(readFile(bak / "a.bmp"), rlOf(readFile(src / "a.bmp")));
    EXPECT_EQ(std::system(("rm -rf '" + (src / level).string() + "'").c_str()), 0);
}

// A new target takes its source's permission bits: a private bitmap must not become an RL file everyone can
// read. A replaced target keeps its own bits and, when running as root, its owner.
using HostilePermissions = HostileTrees;
TEST_F(HostilePermissions, TargetsTakeTheSourcesBitsAndReplacementsKeepTheirOwn) {
    const Bytes bitmap = spriteBitmap(9, 9, 85), rl = rlOf(bitmap);
    writeFile(src / "private.bmp", bitmap);
    writeFile(src / "group.bmp", rl);  // copied with --copy
    writeFile(src / "replaced.bmp", bitmap);
    writeFile(bak / "replaced.bmp", Bytes{'o', 'l', 'd'});
    const mode_t mask = umask(022);
    chmod((src / "private.bmp").c_str(), 0600);
    chmod((src / "group.bmp").c_str(), 0640);
    chmod((src / "replaced.bmp").c_str(), 0600);
    chmod((bak / "replaced.bmp").c_str(), 0664);
    if (geteuid() == 0) {
        ASSERT_EQ(lchown((bak / "replaced.bmp").c_str(), UnprivilegedId, UnprivilegedId), 0);
    }
    const auto status = [](const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
        return std::tuple(info.st_mode & 07777u, info.st_uid, info.st_gid);
    };
    const auto mode = [&](const fs::path& path) { return std::get<0>(status(path)); };
    const auto replacedBefore = status(bak / "replaced.bmp");

    EXPECT_EQ(runBatch("compress", {"--copy"}).exitCode, 0);
    EXPECT_EQ(mode(bak / "private.bmp"), 0600u);
    EXPECT_EQ(mode(bak / "group.bmp"), 0640u);
    EXPECT_EQ(readFile(bak / "replaced.bmp"), rl);
    EXPECT_EQ(status(bak / "replaced.bmp"), replacedBefore);
    // The single conversions likewise, both ways and through PNG, fitted or not: {command, in, out, more}.
    for (const Strings& single : {Strings{"compress", "src/private.bmp", "one.rl"},
                                  {"decompress", "one.rl", "back.bmp"},
                                  {"decompress", "one.rl", "back.png"},
                                  {"compress", "back.png", "two.rl"},
                                  {"compress", "back.png", "three.rl", "--fit"}}) {
        Strings arguments{single[0], (root / single[1]).string(), (root / single[2]).string()};
        arguments.insert(arguments.end(), single.begin() + 3, single.end());
        const RunResult result = runTool(arguments);
        EXPECT_EQ(result.exitCode, 0) << describe(result);
        EXPECT_EQ(mode(root / single[2]), 0600u) << single[2];
    }
    umask(mask);
}

}  // namespace
}  // namespace hostile
