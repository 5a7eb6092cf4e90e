// How runs end when the machine is hostile: a kill in the middle of a write, a file-size limit, an output
// that cannot be written, the debris of a run killed before, a file swapped for a named pipe. Each ends
// with a clear result and leaves no hidden temporary behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "hostile_support.h"

namespace hostile {
namespace {

// A process id that is certainly not running: one of our own children, already reaped.
long deadProcessId() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

bool anyTemporary(const fs::path& folder) {
    return !temporaryLeftovers(folder).empty();
}

// The single-image commands die by the signal, as before, but take their temporary with them.
TEST(HostileEndings, AKilledConversionLeavesNoTemporary) {
    ScratchDir root;
    // Large enough (64 MiB of output) for the write to be caught under way.
    const Bytes rl = expectedCompressed(spriteBitmap(2048, 8192, 70));
    writeFile(root / "in.bmp", rl);
    fs::create_directories(root / "out");
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        bool caught = false;
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            Child child({"decompress", (root / "in.bmp").string(), (root / "out" / "big.bmp").string()});
            while (child.running() && !anyTemporary(root / "out")) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            caught = child.sendSignal(signal);
            const RunResult result = child.wait();
            if (caught && result.exited()) {
                caught = false;  // finished before the signal came
                continue;
            }
            EXPECT_EQ(result.signal, signal) << describe(result);
        }
        EXPECT_TRUE(caught) << "no write could be caught under way";
        EXPECT_EQ(temporaryLeftovers(root.path()), std::vector<std::string>{});
        fs::remove(root / "out" / "big.bmp");
    }
}

// `ulimit -f` used to kill the program by SIGXFSZ without a word. A write past it now fails with the reason,
// the old target stays, and a batch run goes on with the next entry.
TEST(HostileEndings, AFileSizeLimitFailsTheWriteAndTheRunGoesOn) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    const Bytes small = spriteBitmap(8, 8, 71), large = spriteBitmap(300, 300, 72);
    writeFile(src / "a_small.bmp", expectedCompressed(small));
    writeFile(src / "b_large.bmp", expectedCompressed(large));
    writeFile(src / "c_small.bmp", expectedCompressed(small));
    writeFile(bak / "b_large.bmp", {'o', 'l', 'd'});
    const RunOptions limited{.fileSizeLimit = 64 * 1024};  // the large one decompresses to 360 kB

    const RunResult batch = runTool({"batch", "decompress", src.string(), bak.string(), "--jobs", "2"}, limited);
    ASSERT_TRUE(batch.exited()) << describe(batch);
    EXPECT_EQ(batch.exitCode, 1) << batch.err;
    EXPECT_NE(batch.err.find((src / "b_large.bmp").string()), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("File too large"), std::string::npos) << batch.err;
    EXPECT_EQ(readFile(bak / "a_small.bmp"), expectedDecompressed(expectedCompressed(small)));
    EXPECT_EQ(readFile(bak / "c_small.bmp"), expectedDecompressed(expectedCompressed(small)));
    EXPECT_EQ(readFile(bak / "b_large.bmp"), (Bytes{'o', 'l', 'd'}));

    const RunResult single =
        runTool({"decompress", (src / "b_large.bmp").string(), (bak / "b_large.bmp").string()}, limited);
    ASSERT_TRUE(single.exited()) << describe(single);
    EXPECT_EQ(single.exitCode, 1);
    EXPECT_NE(single.err.find("File too large"), std::string::npos) << single.err;
    EXPECT_EQ(readFile(bak / "b_large.bmp"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(temporaryLeftovers(root.path()), std::vector<std::string>{});
}

// Output sent to a full device is a failure, whatever the command printed.
TEST(HostileEndings, AnOutputThatCannotBeWrittenIsAFailure) {
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full on this machine";
    }
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    writeFile(src / "a.bmp", spriteBitmap(8, 8, 73));
    fs::create_directories(bak);
    const std::vector<std::vector<std::string>> commands = {
        {"info", (src / "a.bmp").string()},
        {"info", "--json", (src / "a.bmp").string()},
        {"batch", "compress", src.string(), bak.string(), "--dry-run"},
        {"batch", "compress", src.string(), bak.string()},
        {"--help"},
        {"--version"},
    };
    for (const auto& arguments : commands) {
        SCOPED_TRACE(arguments.front() + " " + arguments.back());
        const RunResult result = runTool(arguments, {.stdoutPath = "/dev/full"});
        ASSERT_TRUE(result.exited()) << describe(result);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find("cannot write the standard output"), std::string::npos) << result.err;
    }
}

// The temporaries of a run killed by SIGKILL are removed by the next run that writes to the same folder;
// those of a live writer, and files that merely look alike, are left alone.
TEST(HostileEndings, StaleTemporariesOfAKilledRunAreRemoved) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    writeFile(src / "a.bmp", spriteBitmap(8, 8, 74));
    writeFile(src / "sub" / "b.bmp", spriteBitmap(8, 8, 75));
    const std::string dead = std::to_string(deadProcessId()), live = std::to_string(getpid());
    const std::vector<std::string> stale = {
        ".a.bmp." + dead + "-0123456789abcdef.0.tmp",
        ".other.bmp." + dead + "-fedcba9876543210.17.tmp",
    };
    const std::vector<std::string> kept = {
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
    const RunResult result = runTool({"batch", "compress", src.string(), bak.string(), "--subfolders"});
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    for (const auto& name : stale) {
        EXPECT_FALSE(fs::exists(bak / name)) << name;
        EXPECT_FALSE(fs::exists(bak / "sub" / name)) << name;
    }
    for (const auto& name : kept) {
        EXPECT_TRUE(fs::exists(bak / name)) << name;
    }
    EXPECT_TRUE(fs::exists(bak / "sub" / "b.bmp"));
}

// A source file swapped for a named pipe between the look at its type and its opening used to block the
// reader for ever (no writer ever comes to the pipe). Here a thread swaps the file and a pipe back and
// forth under the running commands: each must end, in time, with a result either way.
TEST(HostileEndings, AFileSwappedForANamedPipeNeverBlocks) {
    ScratchDir root;
    const fs::path src = root / "src", bak = root / "bak";
    const Bytes bitmap = spriteBitmap(16, 16, 76);
    writeFile(root / "master.bmp", bitmap);
    fs::create_directories(src);
    fs::create_directories(bak);
    const fs::path swapped = src / "a.bmp";
    fs::copy_file(root / "master.bmp", swapped);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const fs::path file = root / "file.tmp", pipe = root / "pipe.tmp";
        while (!stop.load()) {
            std::error_code ec;
            fs::create_hard_link(root / "master.bmp", file, ec);
            fs::rename(file, swapped, ec);
            mkfifo(pipe.c_str(), 0600);
            fs::rename(pipe, swapped, ec);
        }
    });
    int ended = 0;
    for (int run = 0; run < 30; ++run) {
        const RunOptions quick{.timeout = std::chrono::seconds(10)};
        for (const auto& arguments : std::vector<std::vector<std::string>>{
                 {"info", swapped.string()},
                 {"compress", swapped.string(), (bak / "single.rl").string()},
                 {"batch", "compress", src.string(), bak.string()},
             }) {
            const RunResult result = runTool(arguments, quick);
            EXPECT_TRUE(result.exited()) << arguments[0] << ": " << describe(result);
            ended += result.exited() ? 1 : 0;
        }
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    stop.store(true);
    swapper.join();
    RecordProperty("runs_ended", ended);
}

}  // namespace
}  // namespace hostile
