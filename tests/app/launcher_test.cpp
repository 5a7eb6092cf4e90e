// `tarvikbmp` with no command becomes the window program; with a command it never touches it.
#include <gtest/gtest.h>

#include "test_helpers.h"

using namespace testhelpers;

namespace {

// A copy of the command line in a folder of its own, with whatever window program the case puts where.
struct Layout {
    TempDir dir;
    fs::path bin = dir / "bin";
    fs::path tool = bin / "tarvikbmp";
    fs::path beside = bin / "tarvikbmp-window";
    fs::path installed = dir / "libexec" / "tarvikbmp" / "tarvikbmp-window";
    fs::path record = dir / "window-arguments";

    Layout() {
        fs::create_directories(bin);
        fs::copy_file(TARVIKBMP_ALONE, tool);
    }
    // A window program that records what it was started as and with, one line each, then exits 7.
    void fakeWindowAt(const fs::path& program) const {
        fs::create_directories(program.parent_path());
        writeFile(program, "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                               record.string() + "'\nexit 7\n");
        fs::permissions(program, fs::perms::owner_all);
    }
    Ran run(const std::vector<std::string>& args) const { return runProgram(tool.string(), args); }
    std::string started() const { return fs::exists(record) ? readText(record) : "(not started)"; }
};

std::string linesOf(const fs::path& program, const std::vector<std::string>& args) {
    std::string text = program.string() + "\n";
    for (const auto& arg : args) {
        text += arg + "\n";
    }
    return text;
}

}  // namespace

TEST(Launcher, TheCommandLineLoadsNoQtAndItsTestCopyHasNoWindowBesideIt) {
    EXPECT_FALSE(fs::exists(fs::path(TARVIKBMP_ALONE).parent_path() / "tarvikbmp-window"));
    const Ran ldd = runProgram("ldd", {TARVIKBMP_ALONE});
    ASSERT_EQ(ldd.exitCode, 0) << ldd.err;
    EXPECT_NE(ldd.out.find("libc.so"), std::string::npos) << ldd.out;
    EXPECT_EQ(ldd.out.find("Qt"), std::string::npos) << ldd.out;
}

// The window program beside the command line comes first, then the one where the install puts it; it gets the
// same arguments, and its exit status is the command line's: nothing runs after it.
TEST(Launcher, WithoutCommandItBecomesTheWindowProgramWithTheSameArguments) {
    const Layout layout;
    layout.fakeWindowAt(layout.installed);
    EXPECT_EQ(layout.run({"x.bmp"}).exitCode, 7);
    EXPECT_EQ(layout.started(), linesOf(layout.installed, {"x.bmp"}));

    layout.fakeWindowAt(layout.beside);
    const std::vector<std::string> paths = {"a b.bmp", "", "été.rl", "-not-first", "info"};
    const Ran ran = layout.run(paths);
    EXPECT_EQ(ran.exitCode, 7) << ran.err;
    EXPECT_EQ(layout.started(), linesOf(layout.beside, paths));
    EXPECT_EQ(layout.run({}).exitCode, 7);
    EXPECT_EQ(layout.started(), linesOf(layout.beside, {}));

    fs::remove(layout.record);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"--help"}, {"info", "missing.bmp"}, {"batch"}, {"-x"}}) {
        EXPECT_NE(layout.run(args).exitCode, 7) << args.front();
        EXPECT_FALSE(fs::exists(layout.record)) << args.front() << " started the window";
    }
}

TEST(Launcher, AMissingOrBrokenWindowProgramFailsWithTheReason) {
    const Layout layout;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{}, {"picture.bmp"}}) {
        const Ran ran = layout.run(args);
        EXPECT_EQ(ran.exitCode, 1);
        EXPECT_EQ(ran.out, "");
        for (const std::string& part :
             {std::string("window program is missing"), layout.beside.string(), std::string("--help")}) {
            EXPECT_NE(ran.err.find(part), std::string::npos) << ran.err;
        }
    }
    EXPECT_EQ(layout.run({"--version"}).exitCode, 0);  // every command still works

    // Present but not runnable: the reason is the system's, and the installed place is not tried instead.
    writeFile(layout.beside, "not a program");
    fs::permissions(layout.beside, fs::perms::owner_read | fs::perms::owner_write);
    layout.fakeWindowAt(layout.installed);
    const Ran ran = layout.run({"picture.bmp"});
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_NE(ran.err.find("cannot start the window program " + layout.beside.string()), std::string::npos)
        << ran.err;
    EXPECT_NE(ran.err.find("Permission denied"), std::string::npos) << ran.err;
    EXPECT_FALSE(fs::exists(layout.record));
}
