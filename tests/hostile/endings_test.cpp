// How runs end when the machine is hostile: a kill in the middle of a write, a file-size limit, an output
// that cannot be written, the debris of a run killed before, a file swapped for a named pipe. Each ends
// with a clear result and leaves no hidden temporary behind.

#include <signal.h>

#include <atomic>

#include "hostile_support.h"

namespace hostile {
namespace {

using HostileEndings = HostileTrees;

// The single-image commands die by the signal, as before, but take their temporary with them.
TEST_F(HostileEndings, AKilledConversionLeavesNoTemporary) {
    // Large enough (64 MiB of output) for the write to be caught under way.
    writeFile(src / "in.bmp", rlOf(spriteBitmap(2048, 8192, 70)));
    fs::create_directories(bak);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        bool caught = false;
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            Child child(TARVIKBMP_EXE, {"decompress", (src / "in.bmp").string(), (bak / "big.bmp").string()});
            while (child.running() && temporaryLeftovers(bak).empty()) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            caught = child.sendSignal(signal);
            const RunResult result = child.wait();
            caught = caught && !result.exited();  // else it finished before the signal came
            EXPECT_TRUE(!caught || result.signal == signal) << describe(result);
        }
        EXPECT_TRUE(caught) << "no write could be caught under way";
        expectNoTemporaries();
        fs::remove(bak / "big.bmp");
    }
}

// `ulimit -f` used to kill the program by SIGXFSZ without a word. A write past it now fails with the reason,
// the old target stays, and a batch run goes on with the next entry.
TEST_F(HostileEndings, AFileSizeLimitFailsTheWriteAndTheRunGoesOn) {
    const Bytes small = rlOf(spriteBitmap(8, 8, 71)),
                large = rlOf(spriteBitmap(300, 300, 72));
    writeFile(src / "a_small.bmp", small);
    writeFile(src / "b_large.bmp", large);
    writeFile(src / "c_small.bmp", small);
    writeFile(bak / "b_large.bmp", PreviousOutput);
    const RunOptions limited{.fileSizeLimit = 64 * 1024};  // the large one decompresses to 360 kB

    const RunResult batch = runBatch("decompress", {"--jobs", "2"}, limited);
    EXPECT_EQ(batch.exitCode, 1) << batch.err;
    EXPECT_THAT(batch.err, HasSubstr((bak / "b_large.bmp").string() + ": cannot write: File too large"));
    EXPECT_EQ(readFile(bak / "a_small.bmp"), bmpOf(small));
    EXPECT_EQ(readFile(bak / "c_small.bmp"), bmpOf(small));
    const RunResult single =
        runTool({"decompress", (src / "b_large.bmp").string(), (bak / "b_large.bmp").string()}, limited);
    EXPECT_EQ(single.exitCode, 1) << describe(single);
    EXPECT_EQ(single.err, "tarvikbmp: " + (bak / "b_large.bmp").string() + ": cannot write: File too large\n");
    EXPECT_EQ(readFile(bak / "b_large.bmp"), PreviousOutput);
    expectNoTemporaries();
}

// Output sent to a full device is a failure, whatever the command printed.
TEST_F(HostileEndings, AnOutputThatCannotBeWrittenIsAFailure) {
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full on this machine";
    }
    writeFile(src / "a.bmp", spriteBitmap(8, 8, 73));
    fs::create_directories(bak);
    const std::string a = (src / "a.bmp").string();
    for (const Strings& arguments : {Strings{"info", a},
                                     {"info", "--json", a},
                                     {"--help"},
                                     {"--version"},
                                     {"batch", "compress", src.string(), bak.string(), "--dry-run"},
                                     {"batch", "compress", src.string(), bak.string()}}) {
        SCOPED_TRACE(arguments.front() + " " + arguments.back());
        const RunResult result = runTool(arguments, {.stdoutPath = "/dev/full"});
        EXPECT_EQ(result.exitCode, 1) << describe(result);
        EXPECT_THAT(result.err, HasSubstr("cannot write the standard output"));
    }
}

// The temporaries of a run killed by SIGKILL are removed by the next run that writes to the same folder;
// those of a live writer, and files that merely look alike, are left alone.
TEST_F(HostileEndings, StaleTemporariesOfAKilledRunAreRemoved) {
    writeFile(src / "a.bmp", spriteBitmap(8, 8, 74));
    writeFile(src / "sub" / "b.bmp", spriteBitmap(8, 8, 75));
    // A process id that is certainly not running: one of our own children, already reaped.
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child), live = std::to_string(getpid());
    const Strings stale = {".a.bmp." + dead + "-0123456789abcdef.0.tmp",
                           ".other.bmp." + dead + "-fedcba9876543210.17.tmp"};
    const Strings kept = {
        ".a.bmp." + live + "-0123456789abcdef.0.tmp",  // a writer still running
        ".a.bmp." + dead + "-0123456789abcdef.x.tmp",  // not our pattern
        ".notes.tmp",
        "a.bmp." + dead + "-0123456789abcdef.0.tmp",  // not hidden
    };
    for (const auto& name : stale) {
        writeFile(bak / name, Bytes(100, 1));
        writeFile(bak / "sub" / name, Bytes(100, 1));
    }
    for (const auto& name : kept) {
        writeFile(bak / name, Bytes(100, 2));
    }
    EXPECT_EQ(runBatch("compress", {"--subfolders"}).exitCode, 0);
    for (const auto& name : stale) {
        EXPECT_FALSE(fs::exists(bak / name) || fs::exists(bak / "sub" / name)) << name;
    }
    for (const auto& name : kept) {
        EXPECT_TRUE(fs::exists(bak / name)) << name;
    }
    EXPECT_TRUE(fs::exists(bak / "sub" / "b.bmp"));
}

// A source file swapped for a named pipe between the look at its type and its opening used to block the
// reader for ever (no writer ever comes to the pipe). Here a thread swaps the file and a pipe back and
// forth under the running commands: each must end, in time, with a result either way.
TEST_F(HostileEndings, AFileSwappedForANamedPipeNeverBlocks) {
    writeFile(root / "master.bmp", spriteBitmap(16, 16, 76));
    fs::create_directories(bak);
    const fs::path swapped = src / "a.bmp";
    fs::create_directories(src);
    fs::copy_file(root / "master.bmp", swapped);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        for (std::error_code ec; !stop.load();) {
            fs::create_hard_link(root / "master.bmp", root / "file.tmp", ec);
            fs::rename(root / "file.tmp", swapped, ec);
            mkfifo((root / "pipe.tmp").c_str(), 0600);
            fs::rename(root / "pipe.tmp", swapped, ec);
        }
    });
    for (int run = 0; run < 30 && !HasFailure(); ++run) {
        for (const Strings& arguments : {Strings{"info", swapped.string()},
                                         {"compress", swapped.string(), (bak / "single.rl").string()},
                                         {"batch", "compress", src.string(), bak.string()}}) {
            const RunResult result = runTool(arguments, {.timeout = std::chrono::seconds(10)});
            EXPECT_TRUE(result.exited()) << arguments[0] << ": " << describe(result);
        }
    }
    stop.store(true);
    swapper.join();
}

}  // namespace
}  // namespace hostile
