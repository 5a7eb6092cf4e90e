// `tarvikbmp` with no command becomes the window program; with a command it never touches it.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "test_helpers.h"

extern char** environ;

using namespace testhelpers;

namespace {

// A copy of the command line in a folder of its own, with whatever window program the case puts where.
struct Layout {
    TempDir dir;
    fs::path bin = dir / "bin";
    fs::path tool = bin / "tarvikbmp";
    fs::path record = dir / "window-arguments";

    Layout() {
        fs::create_directories(bin);
        fs::copy_file(TARVIKBMP_ALONE, tool);
    }
    // A window program that records the arguments it was started with, one per line, then exits 7.
    void fakeWindowAt(const fs::path& program) const {
        writeFile(program, "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                               record.string() + "'\nexit 7\n");
        fs::permissions(program, fs::perms::owner_all);
    }
    Ran run(const std::vector<std::string>& args) const { return runProgram(tool.string(), args); }
};

std::string linesOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
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

TEST(Launcher, WithoutCommandItBecomesTheWindowProgramWithTheSameArguments) {
    const Layout layout;
    const fs::path window = layout.bin / "tarvikbmp-window";
    layout.fakeWindowAt(window);
    const std::vector<std::string> paths = {"a b.bmp", "", "été.rl", "-not-first", "info"};

    Ran ran = layout.run(paths);
    EXPECT_EQ(ran.exitCode, 7) << ran.err;  // the window program's own exit status: nothing ran after it
    std::vector<std::string> expected{window.string()};
    expected.insert(expected.end(), paths.begin(), paths.end());
    EXPECT_EQ(readText(layout.record), linesOf(expected));

    fs::remove(layout.record);
    ran = layout.run({});
    EXPECT_EQ(ran.exitCode, 7);
    EXPECT_EQ(readText(layout.record), linesOf({window.string()}));
}

TEST(Launcher, CommandsAndOptionsNeverStartTheWindow) {
    const Layout layout;
    layout.fakeWindowAt(layout.bin / "tarvikbmp-window");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"--help"}, {"info", "missing.bmp"}, {"batch"}, {"-x"}}) {
        const Ran ran = layout.run(args);
        EXPECT_NE(ran.exitCode, 7) << args.front();
        EXPECT_FALSE(fs::exists(layout.record)) << args.front();
    }
}

TEST(Launcher, AnInstalledCopyFindsTheWindowWhereTheInstallPutsItAndPrefersOneBesideIt) {
    const Layout layout;
    const fs::path installed = layout.dir / "libexec" / "tarvikbmp" / "tarvikbmp-window";
    layout.fakeWindowAt(installed);
    EXPECT_EQ(layout.run({"x.bmp"}).exitCode, 7);
    EXPECT_EQ(readText(layout.record), linesOf({installed.string(), "x.bmp"}));

    const fs::path beside = layout.bin / "tarvikbmp-window";
    layout.fakeWindowAt(beside);
    EXPECT_EQ(layout.run({"x.bmp"}).exitCode, 7);
    EXPECT_EQ(readText(layout.record), linesOf({beside.string(), "x.bmp"}));
}

TEST(Launcher, AMissingOrBrokenWindowProgramFailsWithTheReason) {
    const Layout layout;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{}, {"picture.bmp"}}) {
        const Ran ran = layout.run(args);
        EXPECT_EQ(ran.exitCode, 1);
        EXPECT_TRUE(ran.out.empty());
        EXPECT_NE(ran.err.find("window program is missing"), std::string::npos) << ran.err;
        EXPECT_NE(ran.err.find((layout.bin / "tarvikbmp-window").string()), std::string::npos) << ran.err;
        EXPECT_NE(ran.err.find("--help"), std::string::npos) << ran.err;
    }
    // Every command still works with no window program anywhere.
    EXPECT_EQ(layout.run({"--version"}).exitCode, 0);

    // Present but not runnable: the reason is the system's, and the installed place is not tried instead.
    const fs::path window = layout.bin / "tarvikbmp-window";
    writeFile(window, "not a program");
    layout.fakeWindowAt(layout.dir / "libexec" / "tarvikbmp" / "tarvikbmp-window");
    fs::permissions(window, fs::perms::owner_read | fs::perms::owner_write);
    Ran ran = layout.run({"picture.bmp"});
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_NE(ran.err.find("cannot start the window program " + window.string()), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("Permission denied"), std::string::npos) << ran.err;
    EXPECT_FALSE(fs::exists(layout.record));

    fs::remove(window);
    fs::create_directory(window);
    ran = layout.run({});
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_NE(ran.err.find("cannot start the window program"), std::string::npos) << ran.err;
}

#ifdef TARVIKBMP_WINDOW
namespace {

// Starts a program in the background with extra environment entries; returns its process id.
pid_t spawn(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Polls `done` for up to 20 s.
template <typename Done>
bool waitFor(Done done) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
        if (done()) {
            return true;
        }
    }
    return false;
}

}  // namespace

// The real pair from the build folder: the window opens the file it was named with, in the same process the
// command line started, and a second start hands its file over to it and leaves.
TEST(Launcher, TheBuiltProgramOpensTheWindowOnAFileAndHandsALaterFileOver) {
    const TempDir home, runtime, pictures;
    fs::permissions(runtime.path, fs::perms::owner_all);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TARVIKBMP_HOME", home.path.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
    for (const char* language : {"French.lng", "French_flag.gif"}) {
        fs::copy_file(fs::path(TARVIK_LANGUAGE_DATA) / language, home / language);
    }
    const fs::path first = pictures / "first" / "a.bmp";
    const fs::path second = pictures / "second" / "b.bmp";
    writeFile(first, "BM");
    writeFile(second, "BM");
    const fs::path settingsFile = home / "TarvikBMP.ini";
    auto settingsMention = [&settingsFile](const fs::path& folder) {
        return readText(settingsFile).find(folder.string()) != std::string::npos;
    };

    const pid_t pid = spawn(TARVIKBMP_BESIDE_WINDOW, {first.string()});
    ASSERT_GT(pid, 0);
    const fs::path exe = "/proc/" + std::to_string(pid) + "/exe";
    EXPECT_TRUE(waitFor([&] {
        std::error_code ec;
        return fs::read_symlink(exe, ec) == fs::path(TARVIKBMP_WINDOW);
    }));
    // Opening a file remembers its folder: the window received the path.
    EXPECT_TRUE(waitFor([&] { return settingsMention(first.parent_path()); }));

    const Ran handOver = runProgram(TARVIKBMP_BESIDE_WINDOW, {second.string()});
    EXPECT_EQ(handOver.exitCode, 0) << handOver.err;
    EXPECT_TRUE(waitFor([&] { return settingsMention(second.parent_path()); }));

    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the first window ended";
    ::kill(pid, SIGTERM);
    ::waitpid(pid, &status, 0);
}
#endif
