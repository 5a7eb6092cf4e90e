// A batch run stopped part-way, by Ctrl-C (SIGINT), a kill (SIGTERM), a hang-up (SIGHUP) or SIGKILL, leaves
// every target either complete (the exact conversion of its source) or absent, never a partial file under a
// target's name. Only SIGKILL, which cannot be caught, may leave a hidden temporary behind.

#include <signal.h>

#include "hostile_support.h"

namespace hostile {
namespace {

struct Interruption {
    const char* direction;
    int signal;
    int files;
    bool twice = false;  // a second signal: end at once, without waiting for the entries under way
};

class InterruptedBatch : public HostileTrees, public testing::WithParamInterface<Interruption> {};

TEST_P(InterruptedBatch, LeavesEveryTargetCompleteOrAbsent) {
    const Interruption how = GetParam();
    const bool compress = std::string(how.direction) == "compress";
    // Large pictures, so the run takes long enough to be caught in the middle and a write is likely to be
    // under way when the signal comes; decompression writes 4 MiB per file.
    const Bytes bitmap = spriteBitmap(compress ? 512 : 1024, compress ? 512 : 1024, 60);
    const Bytes source = compress ? bitmap : rlOf(bitmap);
    const Bytes expected = compress ? rlOf(bitmap) : bmpOf(source);
    const auto fileName = [](int i) { return "f" + std::to_string(1000 + i) + ".bmp"; };

    // On a loaded machine this process may be starved long enough for the child to finish before the
    // signal lands; such a run proves nothing either way, so it is tried again with more files.
    bool caughtPartWay = false;
    for (int attempt = 0, files = how.files; attempt < 3 && !caughtPartWay; ++attempt, files *= 2) {
        SCOPED_TRACE(::testing::Message() << "attempt " << attempt + 1 << ", " << files << " files");
        root.clear();
        fs::create_directories(bak);
        for (int i = 0; i < files; ++i) {
            writeFile(src / fileName(i), source);
        }
        Child child(TARVIKBMP_EXE, {"batch", how.direction, src.string(), bak.string(), "--jobs", "2"});
        bool signalled = false;
        for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
             !signalled && child.running() && std::chrono::steady_clock::now() < deadline;) {
            if (!std::ranges::any_of(fs::directory_iterator(bak),
                                     [](const auto& e) { return e.path().extension() == ".bmp"; })) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
                continue;
            }
            signalled = child.sendSignal(how.signal);
            if (how.twice) {
                std::this_thread::sleep_for(std::chrono::milliseconds(3));  // apart, or the two arrive as one
                child.sendSignal(how.signal);
            }
        }
        const RunResult result = child.wait();

        int complete = 0;
        for (int i = 0; i < files; ++i) {
            if (fs::exists(bak / fileName(i))) {
                EXPECT_EQ(readFile(bak / fileName(i)), expected) << "partial target " << fileName(i);
                ++complete;
            }
            EXPECT_EQ(fs::file_size(src / fileName(i)), source.size());  // sources are never touched
        }
        if (!signalled || complete == files) {
            continue;
        }
        caughtPartWay = true;
        if (how.signal == SIGKILL) {
            EXPECT_EQ(result.signal, SIGKILL) << describe(result);
        } else if (how.twice && !result.exited()) {
            EXPECT_EQ(result.signal, how.signal) << describe(result);
            EXPECT_EQ(temporaryLeftovers(root.path), Strings{}) << "removed on the way out";
        } else {
            EXPECT_EQ(result.exitCode, 128 + how.signal) << describe(result);
            EXPECT_THAT(result.err, HasSubstr("cancelled"));
            EXPECT_EQ(temporaryLeftovers(root.path), Strings{}) << "the entries under way must finish";
        }
        EXPECT_GE(complete, 1);
        RecordProperty("complete_targets", complete);
    }
    EXPECT_TRUE(caughtPartWay) << "no run could be interrupted part-way";
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, InterruptedBatch,
    testing::Values(Interruption{"compress", SIGINT, 100}, Interruption{"compress", SIGKILL, 100},
                    Interruption{"decompress", SIGINT, 60}, Interruption{"decompress", SIGKILL, 60},
                    Interruption{"compress", SIGTERM, 100}, Interruption{"decompress", SIGHUP, 60},
                    Interruption{"decompress", SIGINT, 60, true},
                    Interruption{"decompress", SIGTERM, 60, true}),
    [](const auto& info) {
        std::string name = std::string(info.param.direction) + "_sig" + sigabbrev_np(info.param.signal);
        std::ranges::transform(name, name.begin(), [](unsigned char c) { return std::tolower(c); });
        return name + (info.param.twice ? "_twice" : "");
    });

}  // namespace
}  // namespace hostile
