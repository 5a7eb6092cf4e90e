#include "batch_run.h"

#include <gtest/gtest.h>

#include "file_search.h"
#include "test_support.h"

namespace batch_test {
namespace {

using batch::Direction;
using Names = std::vector<std::string>;

struct Setup {
    Direction direction = Direction::Compress;
    bool copy = false;
    unsigned jobs = 1;
    bool dryRun = false;
    bool subfolders = true;
};

class Recorder : public batch::RunObserver {
public:
    void onEntry(const batch::EntryResult& result, batch::Progress progress) override {
        std::string text(batch::outcomeText(result.outcome));
        if (result.reason != batch::Reason::None) {
            text += '/';
            text += batch::reasonText(result.reason);
        }
        outcomes.push_back(text);
        results.push_back(result);
        EXPECT_EQ(progress.position, result.index + 1);
        EXPECT_EQ(progress.position, results.size());  // in list order
        if (cancelOnFirst) {
            cancelOnFirst->store(true);
        }
    }
    Names outcomes;
    std::vector<batch::EntryResult> results;
    std::atomic<bool>* cancelOnFirst = nullptr;
};

batch::Plan planFor(const fs::path& source, const fs::path& backup, const Setup& setup) {
    batch::Plan plan{setup.direction, batch::FindFiles(source.string(), "*.bmp", setup.subfolders),
                     source.string(), backup.string(),
                     setup.copy,      setup.jobs,
                     setup.dryRun};
    return plan;
}

batch::Summary runTree(const fs::path& source, const fs::path& backup, const Setup& setup, Recorder& recorder,
                       bool cancelled = false) {
    std::atomic<bool> cancel{cancelled};
    return batch::run(planFor(source, backup, setup), recorder, cancel);
}

TEST(BatchRun, MirrorsTheTreeMakingFoldersOnlyWhenNeeded) {
    TempDir dir;
    writeFile(dir / "src/b.bmp", seededBmp(0));
    writeFile(dir / "src/day/icons/a.bmp", seededBmp(1, 24));
    writeFile(dir / "src/other/junk.bmp", "no bitmap");
    writeFile(dir / "src/day/note.txt", "not listed");
    fs::create_directories(dir / "src/empty");
    fs::create_directories(dir / "out");

    Recorder recorder;
    batch::Summary summary = runTree(dir / "src", dir / "out", {}, recorder);
    EXPECT_EQ(recorder.outcomes, (Names{"converted", "converted", "skipped/unknown type"}));
    EXPECT_EQ(recorder.results[1].target, (dir / "out/day/icons/a.bmp").string());
    EXPECT_EQ(snapshot(dir / "out"),
              (std::map<std::string, Bytes>{{"b.bmp", rlOf(seededBmp(0))},
                                            {"day", FolderMark},
                                            {"day/icons", FolderMark},
                                            {"day/icons/a.bmp", rlOf(seededBmp(1, 24))}}));
    EXPECT_EQ(summary.converted, 2u);
    EXPECT_EQ(summary.byReason[static_cast<std::size_t>(batch::Reason::UnknownType)], 1u);
    EXPECT_FALSE(summary.cancelled);

    TempDir flat;
    Recorder flatRecorder;
    runTree(dir / "src", flat.path(), {.subfolders = false}, flatRecorder);
    EXPECT_EQ(snapshot(flat.path()).size(), 1u);
}

TEST(BatchRun, TargetFormatFilesAreCopiedOnlyWithTheCopyOption) {
    const Bytes bmp = seededBmp(3), rl = rlOf(seededBmp(4));
    ASSERT_FALSE(rl.empty());
    for (Direction direction : {Direction::Compress, Direction::Decompress}) {
        const bool compress = direction == Direction::Compress;
        for (bool copy : {false, true}) {
            SCOPED_TRACE(std::string(compress ? "compress" : "decompress") + (copy ? " copy" : ""));
            TempDir dir;
            writeFile(dir / "src/sub/a.bmp", bmp);
            writeFile(dir / "src/sub/r.bmp", rl);
            fs::create_directories(dir / "out");
            Recorder recorder;
            runTree(dir / "src", dir / "out", {.direction = direction, .copy = copy}, recorder);

            auto out = snapshot(dir / "out");
            EXPECT_EQ(out[compress ? "sub/a.bmp" : "sub/r.bmp"], compress ? rlOf(bmp) : bmpOf(rl));
            const std::string other = compress ? "sub/r.bmp" : "sub/a.bmp";
            EXPECT_EQ(out.count(other), copy ? 1u : 0u);
            if (copy) {
                EXPECT_EQ(out[other], compress ? rl : bmp);
            }
            EXPECT_EQ(recorder.outcomes[compress ? 1 : 0], copy ? "copied" : "skipped/not copied");
        }
    }
}

TEST(BatchRun, SkipsWhatTheFilesThemselvesRefuse) {
    TempDir dir;
    writeFile(dir / "src/a253.bmp", bmpWithCombinations(253));
    writeFile(dir / "src/a254.bmp", bmpWithCombinations(254));
    writeFile(dir / "src/b_lower.bmp", "bm not a bitmap");
    writeFile(dir / "src/c_one.bmp", "B");
    writeFile(dir / "src/d_empty.bmp", "");
    writeFile(dir / "src/e_truncated.bmp", "BM\x10");
    // 256 alternating pixels need 256 single codes: one more than an RL row holds.
    writeFile(dir / "src/rows/f_long.bmp", makeBmp(256, 1, 24, [](int x, int) {
                  return x % 2 ? Rgba{255, 0, 0} : Rgba{0, 0, 255};
              }));
    fs::create_directories(dir / "out");

    Recorder recorder;
    batch::Summary summary = runTree(dir / "src", dir / "out", {}, recorder);
    EXPECT_EQ(recorder.outcomes,
              (Names{"converted", "skipped/too many colours", "skipped/unknown type", "skipped/unknown type",
                     "skipped/unknown type", "skipped/load failed", "skipped/refused by the writer"}));
    EXPECT_EQ(snapshot(dir / "out"),
              (std::map<std::string, Bytes>{{"a253.bmp", rlOf(bmpWithCombinations(253))}}));
    EXPECT_EQ(summary.failed, 0u);
}

TEST(BatchRun, FailuresAreReportedAndTheRunGoesOn) {
    TempDir dir;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "day/d.bmp", "e.bmp", "f.bmp"}) {
        writeFile(dir / "src" / name, seededBmp(name[0] % 16));
    }
    writeFile(dir / "out/day", "a file where a folder should go");
    fs::create_directories(dir / "out/e.bmp");  // a folder where a target should go
    batch::Plan plan = planFor(dir / "src", dir / "out", {});
    fs::remove(dir / "src/b.bmp");
    fs::remove(dir / "src/c.bmp");
    fs::create_directory(dir / "src/c.bmp");

    Recorder recorder;
    std::atomic<bool> cancel{false};
    batch::Summary summary = batch::run(plan, recorder, cancel);
    EXPECT_EQ(recorder.outcomes, (Names{"converted", "skipped/vanished", "failed/cannot read",
                                        "failed/cannot create folder", "failed/cannot write", "converted"}));
    EXPECT_EQ(summary.failed, 3u);
    EXPECT_EQ(readFile(dir / "out/f.bmp"), rlOf(seededBmp('f' % 16)));

    // A file without read permission.
    fs::permissions(dir / "src/a.bmp", fs::perms::none);
    fs::permissions(dir / "out", fs::perms::all);
    EXPECT_EQ(runUnprivileged([&] {
                  Recorder unprivileged;
                  batch::run(plan, unprivileged, cancel);
                  return unprivileged.outcomes.front() == "failed/cannot read" ? 0 : 1;
              }),
              0);
}

TEST(BatchRun, SourceEqualToBackupReplacesEachFileSafely) {
    for (unsigned jobs : {1u, 4u}) {
        SCOPED_TRACE(jobs);
        TempDir dir;
        const Bytes crowded = bmpWithCombinations(254), rl = rlOf(seededBmp(6));
        writeFile(dir / "src/crowded.bmp", crowded);
        writeFile(dir / "src/sub/r.bmp", rl);
        for (int i = 0; i < 20; ++i) {
            writeFile(dir / "src/sub" / numbered("n", i, ".bmp"), seededBmp(i));
        }
        Recorder recorder;
        runTree(dir / "src", dir / "src", {.copy = true, .jobs = jobs}, recorder);
        auto tree = snapshot(dir / "src");
        EXPECT_EQ(tree.size(), 23u);  // no temporaries left behind
        EXPECT_EQ(tree["crowded.bmp"], crowded);
        EXPECT_EQ(tree["sub/r.bmp"], rl);
        EXPECT_EQ(tree["sub/n7.bmp"], rlOf(seededBmp(7)));
    }
}

TEST(BatchRun, CancelLetsEntriesUnderWayFinishAndStartsNoOther) {
    for (unsigned jobs : {1u, 4u}) {
        SCOPED_TRACE(jobs);
        TempDir dir;
        // Large enough that the list cannot be done before the first report arrives.
        for (int i = 0; i < 60; ++i) {
            writeFile(dir / "src" / numbered("f", 100 + i, ".bmp"), makeBmp(400, 400, 32, [i](int x, int y) {
                          return Rgba{static_cast<std::uint8_t>(x / 40 * 20 + i),
                                      static_cast<std::uint8_t>(y / 40)};
                      }));
        }
        fs::create_directories(dir / "out");
        Recorder recorder;
        std::atomic<bool> cancel{false};
        recorder.cancelOnFirst = &cancel;
        batch::Summary summary =
            batch::run(planFor(dir / "src", dir / "out", {.jobs = jobs}), recorder, cancel);
        EXPECT_TRUE(summary.cancelled);
        EXPECT_LT(summary.processed, 60u);
        if (jobs == 1) {
            EXPECT_EQ(summary.processed, 1u);
        }
        // Every entry started was finished and reported; nothing else was written.
        EXPECT_EQ(snapshot(dir / "out").size(), summary.processed);
        EXPECT_EQ(recorder.outcomes, Names(summary.processed, "converted"));
    }
    TempDir dir;
    writeFile(dir / "src/a.bmp", seededBmp(1));
    Recorder recorder;
    EXPECT_EQ(runTree(dir / "src", dir.path(), {.jobs = 2}, recorder, true).processed, 0u);
}

// Every rule at once, with the backup folder inside the source: src/a.bmp (large, slow) writes
// src/b/a.bmp, which is itself an entry right behind it. Any number of threads must see it as one does.
void buildMixedTree(const fs::path& root) {
    writeFile(root / "src/a.bmp", makeBmp(500, 500, 32, [](int x, int y) {
                  return Rgba{0, 0, 0, static_cast<std::uint8_t>(255 * ((x + y) / 50 % 2))};
              }));
    writeFile(root / "src/b/a.bmp", seededBmp(9));
    for (int i = 0; i < 40; ++i) {
        fs::path file = root / "src" / numbered("d", i % 4) / numbered("e", i % 3) / numbered("f", i, ".bmp");
        i % 7 == 3    ? writeFile(file, rlOf(seededBmp(i)))
        : i % 11 == 5 ? writeFile(file, bmpWithCombinations(254))
        : i % 13 == 6 ? writeFile(file, "junk")
                      : writeFile(file, seededBmp(i, i % 2 ? 24 : 32));
    }
}

TEST(BatchRun, OutputsAreTheSameWhateverTheNumberOfThreads) {
    TempDir one;
    buildMixedTree(one.path());
    Recorder expected;
    runTree(one / "src", one / "src/b", {.copy = true, .jobs = 1}, expected);
    ASSERT_EQ(expected.outcomes.size(), 42u);
    for (int attempt = 0; attempt < 3; ++attempt) {
        TempDir four;
        buildMixedTree(four.path());
        Recorder recorder;
        runTree(four / "src", four / "src/b", {.copy = true, .jobs = 4}, recorder);
        EXPECT_EQ(snapshot(four.path()), snapshot(one.path()));
        EXPECT_EQ(recorder.outcomes, expected.outcomes);
    }
}

TEST(BatchRun, DryRunWritesNothingAndForeseesTheOutcomes) {
    TempDir dir;
    buildMixedTree(dir.path());
    fs::create_directories(dir / "out");
    const auto before = snapshot(dir.path());
    Recorder dry, real;
    runTree(dir / "src", dir / "out", {.copy = true, .jobs = 2, .dryRun = true}, dry);
    EXPECT_EQ(snapshot(dir.path()), before);
    runTree(dir / "src", dir / "out", {.copy = true, .jobs = 2}, real);
    EXPECT_EQ(dry.outcomes, real.outcomes);
    EXPECT_FALSE(fs::is_empty(dir / "out"));
}

}  // namespace
}  // namespace batch_test
