#include "batch_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "file_search.h"
#include "test_support.h"

namespace batch_test {
namespace {

using batch::Direction;

// Outcomes as "converted", "skipped/unknown type", ...; checks that they come in list order.
struct Recorder : batch::RunObserver {
    void onEntry(const batch::EntryResult& result, batch::Progress progress) override {
        std::string text(batch::outcomeText(result.outcome));
        if (result.reason != batch::Reason::None) {
            (text += '/') += batch::reasonText(result.reason);
        }
        // In list order; after a cancel, abandoned entries are passed over.
        EXPECT_EQ(progress.position, result.index + 1);
        EXPECT_TRUE(outcomes.empty() || result.index > lastIndex);
        outcomes.push_back(text);
        lastIndex = result.index;
        if (cancelOnFirst) {
            cancelOnFirst->store(true);
        }
    }
    Names outcomes;
    std::size_t lastIndex = 0;
    std::atomic<bool>* cancelOnFirst = nullptr;
};

struct Options {
    Direction direction = Direction::Compress;
    bool copy = false;
    unsigned jobs = 1;
    bool dryRun = false;
};

// The "*.bmp" files below source, subfolders included.
batch::Plan planFor(const fs::path& source, const fs::path& backup, const Options& o = {}) {
    return {o.direction,     batch::FindFiles(source.string(), "*.bmp", true),
            source.string(), backup.string(),
            o.copy,          o.jobs,
            o.dryRun};
}

Names runTree(const fs::path& source, const fs::path& backup, const Options& options = {}) {
    Recorder recorder;
    std::atomic<bool> cancel{false};
    batch::run(planFor(source, backup, options), recorder, cancel);
    return recorder.outcomes;
}

TEST(BatchRun, EveryEntryGetsItsOutcomeAndTheRunGoesOn) {
    TempDir dir;
    writeFile(dir / "src/a253.bmp", bmpWithCombinations(253));
    writeFile(dir / "src/a254.bmp", bmpWithCombinations(254));
    writeFile(dir / "src/b_lower.bmp", "bm not a bitmap");
    writeFile(dir / "src/c_one.bmp", "B");
    writeFile(dir / "src/d_empty.bmp", "");
    writeFile(dir / "src/day/icons/e.bmp", seededBmp(1, 24));
    writeFile(dir / "src/day/note.txt", "not listed");
    writeFile(dir / "src/f_truncated.bmp", "BM\x10");
    writeFile(dir / "src/g_rl.bmp", rlOf(seededBmp(2)));
    // 256 alternating pixels need 256 single codes, one more than an RL row holds.
    writeFile(dir / "src/h_rows/long.bmp",
              makeBmp(256, 1, 24, [](int x, int) { return x % 2 ? Red : Blue; }));
    for (const char* name : {"i_gone.bmp", "j_folder.bmp", "k/k.bmp", "l.bmp", "m.bmp"}) {
        writeFile(dir / "src" / name, seededBmp(name[0] % 16));
    }
    writeFile(dir / "out/k", "x");              // a file where a folder should go
    fs::create_directories(dir / "out/l.bmp");  // a folder where a target should go
    const batch::Plan plan = planFor(dir / "src", dir / "out");
    fs::remove(dir / "src/i_gone.bmp");
    fs::remove(dir / "src/j_folder.bmp");
    fs::create_directory(dir / "src/j_folder.bmp");
    Recorder recorder;
    std::atomic<bool> cancel{false};
    EXPECT_EQ(batch::run(plan, recorder, cancel).failed, 3u);
    EXPECT_EQ(recorder.outcomes,
              (Names{"converted", "skipped/too many colours", "skipped/unknown type", "skipped/unknown type",
                     "converted", "skipped/unknown type", "skipped/load failed", "skipped/not copied",
                     "skipped/refused by the writer", "skipped/vanished", "failed/cannot read",
                     "failed/cannot create folder", "failed/cannot write", "converted"}));
    // Folders only where something was written: none for "h_rows".
    EXPECT_EQ(snapshot(dir / "out"), (Tree{{"a253.bmp", rlOf(bmpWithCombinations(253))},
                                           {"day", FolderMark},
                                           {"day/icons", FolderMark},
                                           {"day/icons/e.bmp", rlOf(seededBmp(1, 24))},
                                           {"k", Bytes{'x'}},
                                           {"l.bmp", FolderMark},
                                           {"m.bmp", rlOf(seededBmp('m' % 16))}}));
}

TEST(BatchRun, TargetFormatFilesAreCopiedOnlyWithTheCopyOption) {
    // A worker reads a small file in one call and a larger one in two; a file of exactly the first read's
    // size (64 KiB, trailing bytes after the pixels) ends between the two.
    auto wide = [](int x, int y) { return Rgba{x / 20 * 16, y / 25 * 60, 40}; };
    Bytes exact = makeBmp(100, 160, 32, wide);
    exact.resize(65536, 0);
    const Tree files{{"a.bmp", seededBmp(3)},
                     {"b.bmp", exact},
                     {"c.bmp", makeBmp(300, 100, 32, wide)},
                     {"r.bmp", rlOf(seededBmp(4))}};
    for (Direction direction : {Direction::Compress, Direction::Decompress}) {
        for (bool copy : {false, true}) {
            TempDir dir;
            Tree expected{{"sub", FolderMark}};
            Names outcomes;
            for (const auto& [name, bytes] : files) {
                writeFile(dir / "src/sub" / name, bytes);
                const bool isBitmap = bytes[0] == 'B',
                           converts = isBitmap == (direction == Direction::Compress);
                outcomes.push_back(converts ? "converted" : copy ? "copied" : "skipped/not copied");
                if (converts || copy) {
                    expected["sub/" + name] = !converts ? bytes : isBitmap ? rlOf(bytes) : bmpOf(bytes);
                }
            }
            fs::create_directories(dir / "out");
            EXPECT_EQ(runTree(dir / "src", dir / "out", {.direction = direction, .copy = copy}), outcomes);
            EXPECT_EQ(snapshot(dir / "out"), expected) << copy;
        }
    }
}

TEST(BatchRun, SourceEqualToBackupReplacesEachFileSafely) {
    for (unsigned jobs : {1u, 4u}) {
        SCOPED_TRACE(numbered("jobs ", static_cast<int>(jobs)));
        TempDir dir;
        writeFile(dir / "src/crowded.bmp", bmpWithCombinations(254));
        writeFile(dir / "src/truncated.bmp", "BM\x10");
        writeFile(dir / "src/sub/r.bmp", rlOf(seededBmp(6)));
        for (int i = 0; i < 20; ++i) {
            writeFile(dir / "src/sub" / numbered("n", i, ".bmp"), seededBmp(i));
        }
        // A link to an earlier entry is read once that entry is replaced, as with one worker: it then finds
        // an RL file and stays a link.
        writeFile(dir / "src/sub/big.bmp", makeBmp(300, 300, 32, [](int x, int y) {
                      return Rgba{x / 30, y / 30};
                  }));
        fs::create_symlink("big.bmp", dir / "src/sub/link.bmp");
        runTree(dir / "src", dir / "src", {.copy = true, .jobs = jobs});
        EXPECT_TRUE(fs::is_symlink(dir / "src/sub/link.bmp"));
        Tree tree = snapshot(dir / "src");
        EXPECT_EQ(tree.size(), 25u);  // files only: no temporaries left behind
        EXPECT_EQ(tree["crowded.bmp"], bmpWithCombinations(254));
        EXPECT_EQ(tree["truncated.bmp"], Bytes({'B', 'M', 0x10}));
        EXPECT_EQ(tree["sub/r.bmp"], rlOf(seededBmp(6)));
        EXPECT_EQ(tree["sub/n7.bmp"], rlOf(seededBmp(7)));
        // And back the other way, in place too.
        runTree(dir / "src", dir / "src", {.direction = Direction::Decompress, .jobs = jobs});
        tree = snapshot(dir / "src");
        EXPECT_EQ(tree.size(), 25u);
        EXPECT_EQ(tree["truncated.bmp"], Bytes({'B', 'M', 0x10}));
        EXPECT_EQ(tree["sub/n7.bmp"], bmpOf(rlOf(seededBmp(7))));
    }
}

// Targets in the backup folder, temporaries (hidden names) left out.
std::size_t targetCount(const fs::path& folder) {
    return static_cast<std::size_t>(std::ranges::count_if(
        fs::directory_iterator(folder),
        [](const auto& item) { return !item.path().filename().string().starts_with("."); }));
}

// Cancelled on the first report, before the start, and (six times, as the timing varies) by another thread
// once a few targets are there, as "Annuler" would be.
TEST(BatchRun, CancelStopsEveryEntryThatHasNotBegunToReplaceItsTarget) {
    TempDir dir;
    for (int i = 0; i < 80; ++i) {
        writeFile(dir / "src" / numbered("f", 100 + i, ".bmp"), makeBmp(300, 300, 32, [i](int x, int y) {
                      return Rgba{x / 40 * 20 + i, y / 40};
                  }));
    }
    int late = 0;
    for (int round = 0; round < 8; ++round) {
        const bool onFirstReport = round == 0, beforeStart = round == 1;
        const unsigned jobs = onFirstReport ? 1 : beforeStart ? 4 : 16;
        SCOPED_TRACE(onFirstReport ? "on the first report"
                     : beforeStart ? "before the start"
                                   : "by a thread");
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        Recorder recorder;
        std::atomic<bool> cancel{beforeStart}, runOver{false};
        recorder.cancelOnFirst = onFirstReport ? &cancel : nullptr;
        std::size_t targetsAtCancel = 0;
        std::thread watcher([&] {
            while (!runOver.load() && !cancel.load()) {
                if (targetCount(dir / "out") >= 3) {
                    cancel.store(true);
                    targetsAtCancel = targetCount(dir / "out");
                }
                std::this_thread::yield();
            }
        });
        const batch::Summary summary =
            batch::run(planFor(dir / "src", dir / "out", {.jobs = jobs}), recorder, cancel);
        runOver.store(true);
        watcher.join();
        const std::size_t targets = targetCount(dir / "out");
        if (!beforeStart && !onFirstReport && summary.processed == 80 && late < 20) {
            // A loaded machine let the run finish before the watcher got a turn: nothing was cancelled
            // and there is nothing to check, so that round is run again.
            ++late;
            --round;
            continue;
        }
        if (beforeStart || onFirstReport) {
            EXPECT_EQ(summary.processed, onFirstReport ? 1u : 0u);
        } else {
            EXPECT_LE(targets, targetsAtCancel + 2);
        }
        EXPECT_TRUE(summary.cancelled);
        // What was reported is what was written; an abandoned entry leaves no temporary behind.
        EXPECT_EQ(snapshot(dir / "out").size(), summary.processed);
        EXPECT_EQ(targets, summary.processed);
        EXPECT_EQ(recorder.outcomes, Names(summary.processed, "converted"));
    }
}

// Every rule at once, with the backup folder inside the source: src/a.bmp (large, slow) writes
// src/b/a.bmp, which is itself the entry right behind it.
void buildMixedTree(const fs::path& root) {
    writeFile(root / "src/a.bmp", makeBmp(500, 500, 32, [](int x, int y) {
                  return Rgba{0, 0, 0, (x + y) / 50 % 2 * 255};
              }));
    writeFile(root / "src/b/a.bmp", seededBmp(9));
    for (int i = 0; i < 40; ++i) {
        const fs::path file =
            root / "src" / numbered("d", i % 4) / numbered("e", i % 3) / numbered("f", i, ".bmp");
        writeFile(file, i % 7 == 3    ? rlOf(seededBmp(i))
                        : i % 11 == 5 ? bmpWithCombinations(254)
                        : i % 13 == 6 ? Bytes{'j', 'u', 'n', 'k'}
                                      : seededBmp(i, i % 2 ? 24 : 32));
    }
}

TEST(BatchRun, AnyNumberOfThreadsWritesWhatOneDoesAndDryRunWritesNothing) {
    TempDir one;
    buildMixedTree(one.path);
    const Tree before = snapshot(one.path);
    const Names dry = runTree(one / "src", one / "src/b", {.copy = true, .jobs = 2, .dryRun = true});
    EXPECT_EQ(snapshot(one.path), before);
    const Names expected = runTree(one / "src", one / "src/b", {.copy = true, .jobs = 1});
    ASSERT_EQ(expected.size(), 42u);
    // The dry run reads src/b/a.bmp before src/a.bmp has replaced it; every other outcome it foresees.
    EXPECT_EQ(Names(dry.begin() + 2, dry.end()), Names(expected.begin() + 2, expected.end()));
    for (int attempt = 0; attempt < 3; ++attempt) {
        TempDir four;
        buildMixedTree(four.path);
        EXPECT_EQ(runTree(four / "src", four / "src/b", {.copy = true, .jobs = 4}), expected);
        EXPECT_EQ(snapshot(four.path), snapshot(one.path));
    }
}

// An entry too large for the memory left is a failed entry that names its size; the run goes on. The
// limited run is made in a fresh process: in this one (or a fork of it) memory that earlier tests freed but
// kept reserved could hold the large image after all.
TEST(BatchRun, AnImageBeyondTheMemoryAtHandFailsItsEntryAndTheRunGoesOn) {
    if (!addressSpaceLimitsApply()) {
        GTEST_SKIP() << "address-space limits mean nothing under AddressSanitizer";
    }
    constexpr const char* FolderVariable = "TARVIK_LIMITED_RUN_FOLDER";
    if (const char* folder = std::getenv(FolderVariable)) {
        // Room for what runs now and a little more, not for a large image's pixel records.
        std::uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const auto bytes = static_cast<rlim_t>(pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE))) +
                           (rlim_t{24} << 20);
        const rlimit limit{bytes, bytes};
        const batch::Plan plan = planFor(fs::path(folder) / "src", fs::path(folder) / "out");
        struct : batch::RunObserver {
            void onEntry(const batch::EntryResult& result, batch::Progress) override {
                text += std::string(batch::outcomeText(result.outcome)) + " " + result.detail + ";";
            }
            std::string text;
        } entries;
        std::atomic<bool> cancel{false};
        ASSERT_EQ(::setrlimit(RLIMIT_AS, &limit), 0);
        const batch::Summary summary = batch::run(plan, entries, cancel);
        EXPECT_EQ(std::tuple(summary.failed, summary.converted), std::tuple(1u, 1u));
        EXPECT_EQ(entries.text, "failed not enough memory for a 2300\u00D72300 image;converted ;");
        return;
    }
    TempDir dir;
    writeFile(dir / "src/a_large.bmp",  // 15.9 MB: read whole
              makeBmp(2300, 2300, 24, [](int x, int y) {
                  return Rgba{x / 300 * 30, y / 300 * 30, 99};
              }));
    writeFile(dir / "src/b_small.bmp", seededBmp(3));
    fs::create_directories(dir / "out");
    ::setenv(FolderVariable, dir.path.c_str(), 1);
    const Ran limited =
        runProgram("/proc/self/exe", {"--gtest_filter=BatchRun.AnImageBeyondTheMemoryAtHand*"});
    ::unsetenv(FolderVariable);
    EXPECT_EQ(limited.exitCode, 0) << limited.out;
    EXPECT_THAT(limited.out, HasSubstr("[  PASSED  ] 1 test"));
    EXPECT_EQ(readFile(dir / "out/b_small.bmp"), rlOf(seededBmp(3)));
    EXPECT_FALSE(fs::exists(dir / "out/a_large.bmp"));
}

}  // namespace
}  // namespace batch_test
