#include "batch_run.h"

#include <gtest/gtest.h>

#include "file_search.h"
#include "image_model.h"
#include "test_support.h"

namespace batch_test {
namespace {

using batch::Direction;
using batch::Outcome;
using batch::Reason;

class Recorder : public batch::RunObserver {
public:
    void onEntry(const batch::EntryResult& result, batch::Progress progress) override {
        results.push_back(result);
        positions.push_back(progress.position);
        counts.push_back(progress.count);
        if (cancelOnFirst) {
            cancelOnFirst->store(true);
        }
    }

    std::vector<std::pair<Outcome, Reason>> outcomes() const {
        std::vector<std::pair<Outcome, Reason>> out;
        for (const auto& r : results) {
            out.emplace_back(r.outcome, r.reason);
        }
        return out;
    }

    std::vector<batch::EntryResult> results;
    std::vector<std::size_t> positions;
    std::vector<std::size_t> counts;
    std::atomic<bool>* cancelOnFirst = nullptr;
};

struct RunSetup {
    Direction direction = Direction::Compress;
    bool subfolders = true;
    bool copy = false;
    unsigned jobs = 1;
    bool dryRun = false;
};

batch::Plan makePlan(const fs::path& source, const fs::path& backup, const RunSetup& setup) {
    batch::Plan plan;
    plan.direction = setup.direction;
    plan.sourceFolder = source.string();
    plan.backupFolder = backup.string();
    plan.copyOthers = setup.copy;
    plan.jobs = setup.jobs;
    plan.dryRun = setup.dryRun;
    plan.entries = batch::FindFiles(plan.sourceFolder, "*.bmp", setup.subfolders);
    return plan;
}

batch::Summary runTree(const fs::path& source, const fs::path& backup, const RunSetup& setup,
                       Recorder& recorder) {
    std::atomic<bool> cancel{false};
    recorder.cancelOnFirst = nullptr;
    return batch::run(makePlan(source, backup, setup), recorder, cancel);
}

std::vector<std::uint8_t> bmpOfRl(const std::vector<std::uint8_t>& rl) {
    imaging::ImageModel model;
    if (!imaging::decodeCompressed(rl, model)) {
        return {};
    }
    auto encoded = imaging::encodeBitmap(model);
    return encoded ? *encoded : std::vector<std::uint8_t>{};
}

TEST(BatchRun, CompressionMirrorsTheTreeAndMakesFoldersOnlyWhenNeeded) {
    TempDir dir;
    fs::create_directories(dir / "src/day/icons");
    fs::create_directories(dir / "src/empty");
    fs::create_directories(dir / "src/other");
    fs::create_directories(dir / "out");
    writeBytes(dir / "src/b.bmp", seededBmp(0));
    writeBytes(dir / "src/day/icons/a.bmp", seededBmp(1, 24));
    writeText(dir / "src/other/junk.bmp", "no bitmap");
    writeText(dir / "src/day/note.txt", "not listed");

    Recorder recorder;
    batch::Summary summary = runTree(dir / "src", dir / "out", {}, recorder);

    auto out = snapshot(dir / "out");
    ASSERT_EQ(out.size(), 4u);  // b.bmp, day, day/icons, day/icons/a.bmp: no "other", no "empty"
    EXPECT_EQ(out["b.bmp"], rlOf(seededBmp(0)));
    EXPECT_EQ(out["day/icons/a.bmp"], rlOf(seededBmp(1, 24)));
    EXPECT_FALSE(out["b.bmp"].empty());
    EXPECT_EQ(recorder.outcomes(),
              (std::vector<std::pair<Outcome, Reason>>{{Outcome::Converted, Reason::None},
                                                       {Outcome::Converted, Reason::None},
                                                       {Outcome::Skipped, Reason::UnknownType}}));
    EXPECT_EQ(recorder.results[1].target, (dir / "out/day/icons/a.bmp").string());
    EXPECT_EQ(recorder.positions, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(recorder.counts, (std::vector<std::size_t>{3, 3, 3}));
    EXPECT_EQ(summary.converted, 2u);
    EXPECT_EQ(summary.skipped, 1u);
    EXPECT_EQ(summary.byReason[static_cast<std::size_t>(Reason::UnknownType)], 1u);
    EXPECT_FALSE(summary.cancelled);

    // Without subfolders only the top entry is taken.
    TempDir flat;
    Recorder flatRecorder;
    runTree(dir / "src", flat.path(), {.subfolders = false}, flatRecorder);
    EXPECT_EQ(snapshot(flat.path()).size(), 1u);
}

TEST(BatchRun, FilesAlreadyInTheTargetFormatAreCopiedOnlyWithTheCopyOption) {
    const auto bmp = seededBmp(3);
    const auto rl = rlOf(seededBmp(4));
    ASSERT_FALSE(rl.empty());
    for (Direction direction : {Direction::Compress, Direction::Decompress}) {
        SCOPED_TRACE(direction == Direction::Compress ? "compress" : "decompress");
        const bool compress = direction == Direction::Compress;
        for (bool copy : {false, true}) {
            TempDir dir;
            fs::create_directories(dir / "src/sub");
            fs::create_directories(dir / "out");
            writeBytes(dir / "src/sub/a.bmp", bmp);
            writeBytes(dir / "src/sub/r.bmp", rl);

            Recorder recorder;
            runTree(dir / "src", dir / "out", {.direction = direction, .copy = copy}, recorder);
            auto out = snapshot(dir / "out");
            const std::string converted = compress ? "sub/a.bmp" : "sub/r.bmp";
            const std::string other = compress ? "sub/r.bmp" : "sub/a.bmp";
            EXPECT_EQ(out[converted], compress ? rlOf(bmp) : bmpOfRl(rl));
            if (copy) {
                EXPECT_EQ(out[other], compress ? rl : bmp);
            } else {
                EXPECT_EQ(out.count(other), 0u);
            }
            const auto& otherResult = recorder.results[compress ? 1 : 0];
            EXPECT_EQ(otherResult.outcome, copy ? Outcome::Copied : Outcome::Skipped);
            EXPECT_EQ(otherResult.reason, copy ? Reason::None : Reason::CopyOff);
        }
    }
}

TEST(BatchRun, CompressesUpTo253CombinationsAndSkips254) {
    for (int combinations : {253, 254}) {
        imaging::ImageModel model;
        ASSERT_TRUE(imaging::decodeBitmap(bmpWithCombinations(combinations), model));
        ASSERT_EQ(model.CompressedColorCount, combinations);
    }
    TempDir dir;
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "out");
    writeBytes(dir / "src/c253.bmp", bmpWithCombinations(253));
    writeBytes(dir / "src/c254.bmp", bmpWithCombinations(254));

    Recorder recorder;
    runTree(dir / "src", dir / "out", {}, recorder);
    EXPECT_EQ(recorder.outcomes(),
              (std::vector<std::pair<Outcome, Reason>>{{Outcome::Converted, Reason::None},
                                                       {Outcome::Skipped, Reason::TooManyColours}}));
    auto out = snapshot(dir / "out");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out["c253.bmp"], rlOf(bmpWithCombinations(253)));
}

TEST(BatchRun, FilesThatAreNotUsableBitmapsAreSkippedWithTheirReason) {
    TempDir dir;
    fs::create_directories(dir / "src/rows");
    fs::create_directories(dir / "out");
    writeText(dir / "src/a_lower.bmp", "bm not a bitmap");
    writeText(dir / "src/b_one.bmp", "B");
    writeText(dir / "src/c_empty.bmp", "");
    writeText(dir / "src/d_truncated.bmp", "BM\x10\x00\x00\x00");
    // 256 alternating pixels need 256 single codes: one more than an RL row can hold.
    writeBytes(dir / "src/rows/e_long.bmp", makeBmp(256, 1, 24, [](int x, int) {
                   return x % 2 ? Rgba{255, 0, 0} : Rgba{0, 0, 255};
               }));

    Recorder recorder;
    batch::Summary summary = runTree(dir / "src", dir / "out", {}, recorder);
    EXPECT_EQ(recorder.outcomes(), (std::vector<std::pair<Outcome, Reason>>{
                                       {Outcome::Skipped, Reason::UnknownType},
                                       {Outcome::Skipped, Reason::UnknownType},
                                       {Outcome::Skipped, Reason::UnknownType},
                                       {Outcome::Skipped, Reason::LoadFailed},
                                       {Outcome::Skipped, Reason::WriterRefused},
                                   }));
    EXPECT_FALSE(recorder.results[4].detail.empty());
    EXPECT_TRUE(fs::is_empty(dir / "out"));  // not even the "rows" folder
    EXPECT_EQ(summary.failed, 0u);
}

TEST(BatchRun, VanishedAndUnreadableEntriesDoNotStopTheRun) {
    TempDir dir;
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "out");
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) {
        writeBytes(dir / "src" / name, seededBmp(name[0]));
    }
    batch::Plan plan = makePlan(dir / "src", dir / "out", {});
    fs::remove(dir / "src/b.bmp");
    fs::remove(dir / "src/c.bmp");
    fs::create_directory(dir / "src/c.bmp");  // exists, but cannot be read as a file

    Recorder recorder;
    std::atomic<bool> cancel{false};
    batch::Summary summary = batch::run(plan, recorder, cancel);
    EXPECT_EQ(recorder.outcomes(), (std::vector<std::pair<Outcome, Reason>>{
                                       {Outcome::Converted, Reason::None},
                                       {Outcome::Skipped, Reason::Vanished},
                                       {Outcome::Failed, Reason::ReadFailed},
                                       {Outcome::Converted, Reason::None},
                                   }));
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_EQ(snapshot(dir / "out").size(), 2u);
}

TEST(BatchRun, UnreadableFileFails) {
    TempDir dir;
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "out");
    fs::permissions(dir / "out", fs::perms::all);
    writeBytes(dir / "src/a.bmp", seededBmp(1));
    writeBytes(dir / "src/b.bmp", seededBmp(2));
    fs::permissions(dir / "src/a.bmp", fs::perms::none);
    batch::Plan plan = makePlan(dir / "src", dir / "out", {});
    int status = runUnprivileged([&] {
        Recorder recorder;
        std::atomic<bool> cancel{false};
        batch::run(plan, recorder, cancel);
        return recorder.outcomes() ==
                       std::vector<std::pair<Outcome, Reason>>{{Outcome::Failed, Reason::ReadFailed},
                                                               {Outcome::Converted, Reason::None}}
                   ? 0
                   : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST(BatchRun, BlockedFoldersAndTargetsFailOnlyTheirEntries) {
    TempDir dir;
    fs::create_directories(dir / "src/day");
    fs::create_directories(dir / "src/zz");
    fs::create_directories(dir / "out/x.bmp");  // a folder where a target should go
    writeText(dir / "out/day", "a file where a folder should go");
    writeBytes(dir / "src/b.bmp", seededBmp(1));
    writeBytes(dir / "src/day/a.bmp", seededBmp(2));
    writeBytes(dir / "src/x.bmp", seededBmp(3));
    writeBytes(dir / "src/zz/c.bmp", seededBmp(4));

    Recorder recorder;
    batch::Summary summary = runTree(dir / "src", dir / "out", {}, recorder);
    EXPECT_EQ(recorder.outcomes(), (std::vector<std::pair<Outcome, Reason>>{
                                       {Outcome::Converted, Reason::None},
                                       {Outcome::Failed, Reason::FolderFailed},
                                       {Outcome::Failed, Reason::WriteFailed},
                                       {Outcome::Converted, Reason::None},
                                   }));
    EXPECT_EQ(summary.failed, 2u);
    EXPECT_EQ(readBytes(dir / "out/zz/c.bmp"), rlOf(seededBmp(4)));
    auto blocker = readBytes(dir / "out/day");
    EXPECT_EQ(std::string(blocker.begin(), blocker.end()), "a file where a folder should go");
}

TEST(BatchRun, SourceEqualToBackupReplacesEachFileSafely) {
    for (unsigned jobs : {1u, 4u}) {
        SCOPED_TRACE(jobs);
        TempDir dir;
        fs::create_directories(dir / "src/sub");
        const auto a = seededBmp(5);
        const auto crowded = bmpWithCombinations(254);
        const auto rl = rlOf(seededBmp(6));
        writeBytes(dir / "src/a.bmp", a);
        writeBytes(dir / "src/crowded.bmp", crowded);
        writeBytes(dir / "src/sub/r.bmp", rl);
        for (int i = 0; i < 20; ++i) {
            writeBytes(dir / "src/sub" / numbered("n", i, ".bmp"), seededBmp(i));
        }

        Recorder recorder;
        runTree(dir / "src", dir / "src", {.copy = true, .jobs = jobs}, recorder);
        auto tree = snapshot(dir / "src");
        EXPECT_EQ(tree.size(), 24u);  // no temporaries left behind
        EXPECT_EQ(tree["a.bmp"], rlOf(a));
        EXPECT_EQ(tree["crowded.bmp"], crowded);
        EXPECT_EQ(tree["sub/r.bmp"], rl);
        EXPECT_EQ(tree["sub/n7.bmp"], rlOf(seededBmp(7)));
    }
}

TEST(BatchRun, CancelLetsEntriesUnderWayFinishAndStartsNoOther) {
    for (unsigned jobs : {1u, 4u}) {
        SCOPED_TRACE(jobs);
        TempDir dir;
        fs::create_directories(dir / "src");
        fs::create_directories(dir / "out");
        // Large enough that the whole list cannot be done before the first report arrives.
        for (int i = 0; i < 60; ++i) {
            writeBytes(dir / "src" / numbered("f", 100 + i, ".bmp"), makeBmp(400, 400, 32, [i](int x, int y) {
                           return Rgba{static_cast<std::uint8_t>(x / 40 * 20 + i),
                                       static_cast<std::uint8_t>(y / 40), 0, 255};
                       }));
        }
        Recorder recorder;
        std::atomic<bool> cancel{false};
        recorder.cancelOnFirst = &cancel;
        batch::Summary summary =
            batch::run(makePlan(dir / "src", dir / "out", {.jobs = jobs}), recorder, cancel);

        EXPECT_TRUE(summary.cancelled);
        ASSERT_GE(summary.processed, 1u);
        EXPECT_LT(summary.processed, 60u);
        if (jobs == 1) {
            EXPECT_EQ(summary.processed, 1u);
        }
        // Every entry that started was finished and reported, in order; nothing else was written.
        auto out = snapshot(dir / "out");
        EXPECT_EQ(out.size(), summary.processed);
        for (std::size_t i = 0; i < recorder.results.size(); ++i) {
            EXPECT_EQ(recorder.positions[i], i + 1);
            EXPECT_EQ(recorder.results[i].outcome, Outcome::Converted);
            EXPECT_TRUE(fs::exists(recorder.results[i].target));
        }
    }

    // A flag already set starts nothing.
    TempDir dir;
    fs::create_directories(dir / "src");
    writeBytes(dir / "src/a.bmp", seededBmp(1));
    Recorder recorder;
    std::atomic<bool> cancel{true};
    batch::Summary summary = batch::run(makePlan(dir / "src", dir.path(), {.jobs = 2}), recorder, cancel);
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.processed, 0u);
}

// A tree that exercises every rule, with its backup folder inside the source so that some entries are
// other entries' targets: a run on any number of threads must see them as a one-thread run does.
void buildMixedTree(const fs::path& root) {
    fs::create_directories(root / "src/mirror");
    for (int i = 0; i < 48; ++i) {
        fs::path folder = root / "src" / numbered("d", i % 4) / numbered("e", i % 3);
        fs::create_directories(folder);
        std::string name = numbered("f", i, ".bmp");
        if (i % 7 == 3) {
            writeBytes(folder / name, rlOf(seededBmp(i)));
        } else if (i % 11 == 5) {
            writeBytes(folder / name, bmpWithCombinations(254));
        } else if (i % 13 == 6) {
            writeText(folder / name, "junk");
        } else {
            writeBytes(folder / name, seededBmp(i, i % 2 ? 24 : 32));
        }
    }
    for (int i = 0; i < 6; ++i) {
        std::string name = numbered("a", i, ".bmp");
        writeBytes(root / "src" / name, seededBmp(60 + i));
        writeBytes(root / "src/mirror" / name, seededBmp(70 + i));  // also the target of src/<name>
    }
}

TEST(BatchRun, OutputsAreTheSameWhateverTheNumberOfThreads) {
    TempDir one;
    buildMixedTree(one.path());
    Recorder oneRecorder;
    runTree(one / "src", one / "src/mirror", {.copy = true, .jobs = 1}, oneRecorder);
    const auto expected = snapshot(one.path());
    ASSERT_GT(oneRecorder.results.size(), 50u);

    for (int attempt = 0; attempt < 3; ++attempt) {
        TempDir four;
        buildMixedTree(four.path());
        Recorder recorder;
        batch::Summary summary =
            runTree(four / "src", four / "src/mirror", {.copy = true, .jobs = 4}, recorder);
        EXPECT_EQ(snapshot(four.path()), expected);
        EXPECT_EQ(recorder.outcomes(), oneRecorder.outcomes());
        EXPECT_EQ(summary.processed, oneRecorder.results.size());
        for (std::size_t i = 0; i < recorder.positions.size(); ++i) {
            ASSERT_EQ(recorder.positions[i], i + 1);
            ASSERT_EQ(recorder.results[i].index, i);
        }
    }
}

TEST(BatchRun, DryRunWritesNothingAndForeseesTheOutcomes) {
    TempDir dir;
    buildMixedTree(dir.path());
    fs::create_directories(dir / "out");
    const auto before = snapshot(dir.path());

    Recorder dry;
    runTree(dir / "src", dir / "out", {.copy = true, .jobs = 2, .dryRun = true}, dry);
    EXPECT_EQ(snapshot(dir.path()), before);

    Recorder real;
    runTree(dir / "src", dir / "out", {.copy = true, .jobs = 2}, real);
    EXPECT_EQ(dry.outcomes(), real.outcomes());
    EXPECT_FALSE(fs::is_empty(dir / "out"));
}

}  // namespace
}  // namespace batch_test
