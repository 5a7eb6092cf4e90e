// A batch run stopped part-way, by Ctrl-C (SIGINT), a kill (SIGTERM), a hang-up (SIGHUP) or SIGKILL, leaves
// every target either complete (the exact conversion of its source) or absent, never a partial file under a
// target's name. Only SIGKILL, which cannot be caught, may leave a hidden temporary behind.

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "hostile_support.h"

namespace hostile {
namespace {

struct Interruption {
    const char* direction;
    int signal;
    int files;
    bool twice = false;  // a second signal: end at once, without waiting for the entries under way
};

bool anyTargetWritten(const fs::path& backup) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(backup, ec)) {
        if (entry.path().extension() == ".bmp") {
            return true;
        }
    }
    return false;
}

class InterruptedBatch : public testing::TestWithParam<Interruption> {};

TEST_P(InterruptedBatch, LeavesEveryTargetCompleteOrAbsent) {
    const Interruption how = GetParam();
    const bool compress = std::string(how.direction) == "compress";
    // Large pictures, so the run takes long enough to be caught in the middle and a write is likely to be
    // under way when the signal comes; decompression writes 4 MiB per file.
    const Bytes bitmap = spriteBitmap(compress ? 512 : 1024, compress ? 512 : 1024, 60);
    const Bytes source = compress ? bitmap : expectedCompressed(bitmap);
    const Bytes expected = compress ? expectedCompressed(bitmap) : expectedDecompressed(source);
    const auto fileName = [](int i) { return "f" + std::to_string(1000 + i) + ".bmp"; };

    // On a loaded machine this process may be starved long enough for the child to finish before the
    // signal lands; such a run proves nothing either way, so it is tried again with more files.
    bool caughtPartWay = false;
    for (int attempt = 0, files = how.files; attempt < 3 && !caughtPartWay; ++attempt, files *= 2) {
        SCOPED_TRACE(::testing::Message() << "attempt " << attempt + 1 << ", " << files << " files");
        ScratchDir root;
        const fs::path src = root / "src", bak = root / "bak";
        fs::create_directory(bak);
        for (int i = 0; i < files; ++i) {
            writeFile(src / fileName(i), source);
        }

        Child child({"batch", how.direction, src.string(), bak.string(), "--jobs", "2"});
        bool signalled = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (child.running() && std::chrono::steady_clock::now() < deadline) {
            if (anyTargetWritten(bak)) {
                signalled = child.sendSignal(how.signal);
                if (how.twice) {
                    // Apart, or the two would arrive as one.
                    std::this_thread::sleep_for(std::chrono::milliseconds(3));
                    child.sendSignal(how.signal);
                }
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        const RunResult result = child.wait();

        int complete = 0;
        for (int i = 0; i < files; ++i) {
            const fs::path target = bak / fileName(i);
            if (fs::exists(target)) {
                EXPECT_EQ(readFile(target), expected) << "partial target " << target;
                ++complete;
            }
        }
        for (int i = 0; i < files; ++i) {  // sources are never touched
            EXPECT_EQ(fs::file_size(src / fileName(i)), source.size());
        }
        if (!signalled || complete == files) {
            continue;
        }
        caughtPartWay = true;
        if (how.signal == SIGKILL) {
            EXPECT_EQ(result.signal, SIGKILL) << describe(result);
        } else if (how.twice && !result.exited()) {
            EXPECT_EQ(result.signal, how.signal) << describe(result);
            EXPECT_EQ(temporaryLeftovers(root.path()), std::vector<std::string>{}) << "removed on the way out";
        } else {
            ASSERT_TRUE(result.exited()) << describe(result);
            EXPECT_EQ(result.exitCode, 128 + how.signal) << result.err;
            EXPECT_NE(result.err.find("cancelled"), std::string::npos) << result.err;
            EXPECT_EQ(temporaryLeftovers(root.path()), std::vector<std::string>{}) << "the entries under way must finish";
        }
        EXPECT_GE(complete, 1);
        RecordProperty("complete_targets", complete);
        RecordProperty("temporary_leftovers", static_cast<int>(temporaryLeftovers(root.path()).size()));
    }
    EXPECT_TRUE(caughtPartWay) << "no run could be interrupted part-way";
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, InterruptedBatch,
    testing::Values(Interruption{"compress", SIGINT, 100}, Interruption{"compress", SIGKILL, 100},
                    Interruption{"decompress", SIGINT, 60}, Interruption{"decompress", SIGKILL, 60},
                    Interruption{"compress", SIGTERM, 100}, Interruption{"decompress", SIGHUP, 60},
                    Interruption{"decompress", SIGINT, 60, true}, Interruption{"decompress", SIGTERM, 60, true}),
    [](const auto& info) {
        const char* name = info.param.signal == SIGINT    ? "_sigint"
                           : info.param.signal == SIGTERM ? "_sigterm"
                           : info.param.signal == SIGHUP  ? "_sighup"
                                                          : "_sigkill";
        return std::string(info.param.direction) + name + (info.param.twice ? "_twice" : "");
    });

}  // namespace
}  // namespace hostile
