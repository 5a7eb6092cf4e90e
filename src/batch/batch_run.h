#pragma once

// A batch run: every entry of a list converted in one direction into a backup folder that mirrors the
// source folder, optionally copying there the files already in the target format.
//
// Use from a progress window (the run blocks, so give it a thread of its own):
//
//     batch::Plan plan;                          // list entries in order, the two folder box texts, copy box
//     std::atomic<bool> CancelRequested{false};  // owned by the window, cleared before the run starts
//     // on a worker thread (QThread::create, std::jthread, ...):
//     batch::Summary summary = batch::run(plan, observer, CancelRequested);
//     // "Annuler", on the window's own thread:
//     CancelRequested = true;
//
// observer.onEntry() is called on the thread that called run(), once per entry, in list order, after the
// entry is finished (written, copied or skipped); it must not throw. With several jobs that thread converts
// entries as well and reports between two of its own, so reports may come a few at a time. A window
// forwards it to its own thread (a queued signal or QMetaObject::invokeMethod). Before the run it shows
// Value 0, Max = the entry count and the label progressLabelText("Message_7" text, 0, count); on each
// report it sets the bar's Value to progress.position and, while entries remain, the label to
// progressLabelText(text, position, count), the entry the run takes next. Once the flag is set no entry
// starts, and an entry under way is abandoned unless it has begun replacing its target: its temporary file
// is removed and it is not reported, as if it had never started. Replacements pass one at a time, so at
// most one target appears after the flag is set, whatever the number of workers. run() returns with
// summary.cancelled set. What was written stays.
//
// Every byte written is the same whatever plan.jobs is: each worker has its own ImageModel, outcomes are
// reported in list order, and an entry whose path is another entry's target (source = backup, a backup
// folder inside the source) waits for that entry, so it sees the file as a one-thread run would.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_search.h"

namespace batch {

enum class Direction {
    Compress,    // "BM" files to RL; "RL" files copied when copyOthers is set
    Decompress,  // "RL" files to bitmaps; "BM" files copied when copyOthers is set
};

struct Plan {
    Direction direction = Direction::Compress;
    std::vector<std::string> entries;  // full paths, in list order; marks play no part
    std::string sourceFolder;          // text of the source folder box (see sourceFolderText)
    std::string backupFolder;          // text of the backup folder box, as given
    bool copyOthers = false;           // the copy box
    unsigned jobs = 1;                 // worker threads; 0 takes one per core
    bool dryRun = false;               // decide every outcome but create and write nothing
    // Compression: PNG files (by signature) are converted too, and an entry named NAME.png (any case) is
    // written as NAME.bmp, the name the target program expects; it is skipped when NAME.bmp stands beside it.
    bool pngFiles = false;
    // Compression: an image with too many colours or too long rows is fitted instead of skipped.
    bool fit = false;
    // Memory the entries under way may hold together, whatever the number of jobs: an entry waits until
    // its share fits (a bitmap read whole takes about four times its size; larger bitmaps are streamed).
    std::uint64_t memoryBudget = std::uint64_t{512} << 20;
    // Folders whose files could not be listed (see ListFiles): each is a failed entry of the run, reported
    // before the list's entries (Reason::FolderUnlisted), so that nothing is left out without a word.
    std::vector<UnlistedFolder> unlistedFolders = {};
};

enum class Outcome { Converted, Copied, Skipped, Failed };

// Skips come from the files themselves and are normal; failures are the run's own trouble.
enum class Reason {
    None,            // converted or copied
    Vanished,        // skipped: the entry no longer exists
    UnknownType,     // skipped: signature neither "BM" nor "RL" (an empty file included)
    LoadFailed,      // skipped: the reader refused the file (truncated, corrupt, unsupported, too large)
    TooManyColours,  // skipped: 254 or more colour/alpha combinations
    WriterRefused,   // skipped: the writer refused the image itself (an RL row needing over 255 code bytes)
    CopyOff,         // skipped: already in the target format and the copy option is off
    ReadFailed,      // failed: the entry exists but cannot be read
    FolderFailed,    // failed: a mirror folder cannot be created
    WriteFailed,     // failed: the target cannot be written
    NotBelowSource,  // failed: the entry does not lie below the source folder
    BitmapBeside,    // skipped: a PNG whose NAME.bmp stands beside it (both would be written as NAME.bmp)
    NoMemory,        // failed: the image does not fit in the memory the system gives us
    FolderUnlisted,  // failed: a folder of the source tree could not be listed; the entry names the folder
};
inline constexpr std::size_t ReasonCount = static_cast<std::size_t>(Reason::FolderUnlisted) + 1;

struct EntryResult {
    std::size_t index = 0;  // position in the list, from 0
    std::string entry;
    std::string target;  // empty when the entry does not lie below the source folder
    Outcome outcome = Outcome::Skipped;
    Reason reason = Reason::None;
    std::string detail;  // why, for failures and for refusals of the reader or writer
    bool fitted = false;  // converted (Outcome::Converted) only after fitting it to the RL budget
};

struct Progress {
    std::size_t position = 0;  // entries finished, index + 1: the bar's Value
    std::size_t count = 0;     // entries in the list: the bar's Max
};

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void onEntry(const EntryResult& result, Progress progress) = 0;
};

struct Summary {
    std::size_t count = 0;      // entries in the list
    std::size_t processed = 0;  // entries finished and reported
    std::size_t converted = 0;  // converted as they are
    std::size_t fitted = 0;     // converted after fitting (Plan::fit), counted apart from `converted`
    std::size_t copied = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::array<std::size_t, ReasonCount> byReason{};
    bool cancelled = false;  // stopped by the flag before the end of the list
};

// Runs the plan to its end or to a cancel. Never throws; a failing entry is reported and the run goes on.
Summary run(const Plan& plan, RunObserver& observer, const std::atomic<bool>& CancelRequested);

// Short English texts for reports ("converted", "too many colours", ...).
std::string_view outcomeText(Outcome outcome);
std::string_view reasonText(Reason reason);

}  // namespace batch
