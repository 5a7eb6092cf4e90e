#include "batch_run.h"

#include <sys/stat.h>

#include <cerrno>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "file_io.h"
#include "file_search.h"
#include "fitter.h"
#include "image_files.h"
#include "bmp_stream.h"
#include "image_model.h"
#include "mirror.h"
#include "png_codec.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

// The codecs' own limits refuse far smaller images; this only keeps a hostile file from being read whole.
constexpr std::uintmax_t MaxEntryBytes = std::uintmax_t{1} << 31;
constexpr unsigned MaxJobs = 64;
constexpr std::size_t NoEntry = static_cast<std::size_t>(-1);

// The first read of every entry asks for at least this much, so a whole icon comes in one call.
constexpr std::size_t FirstReadBytes = std::size_t{1} << 16;
constexpr std::size_t MaxFirstReadBytes = std::size_t{1} << 22;
constexpr std::size_t CopyChunkBytes = std::size_t{1} << 20;

// Bitmaps above this size are compressed in two passes over their bytes, with no pixel records.
constexpr std::uint64_t StreamAboveBytes = std::uint64_t{16} << 20;
// What such an entry holds beside the file's bytes: the statistics sets, a row and the RL file it makes.
constexpr std::uint64_t StreamedEntryBytes = std::uint64_t{40} << 20;
// Buffers a worker keeps for its next file; anything larger is given back after the entry.
constexpr std::size_t KeptFileBytes = std::size_t{8} << 20;
constexpr std::size_t KeptPixels = std::size_t{1} << 20;

// The memory all workers may hold together, shared out before each entry starts: an entry waits until its
// share fits beside those under way, and one larger than the whole budget runs when it has it all. So the
// run's peak does not grow with the number of workers.
class MemoryBudget {
public:
    explicit MemoryBudget(std::uint64_t capacity) : m_capacity(std::max<std::uint64_t>(capacity, 1)) {}

    class Lease {
    public:
        Lease(MemoryBudget& budget, std::uint64_t bytes) : m_budget(budget), m_bytes(budget.take(bytes)) {}
        ~Lease() { m_budget.give(m_bytes); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

    private:
        MemoryBudget& m_budget;
        std::uint64_t m_bytes;
    };

private:
    std::uint64_t take(std::uint64_t bytes) {
        bytes = std::min(bytes, m_capacity);
        std::unique_lock lock(m_mutex);
        m_freed.wait(lock, [&] { return m_used + bytes <= m_capacity; });
        m_used += bytes;
        return bytes;
    }

    void give(std::uint64_t bytes) {
        {
            std::lock_guard lock(m_mutex);
            m_used -= bytes;
        }
        m_freed.notify_all();
    }

    std::uint64_t m_capacity;
    std::uint64_t m_used = 0;
    std::mutex m_mutex;
    std::condition_variable m_freed;
};

// A file's bytes in memory that is kept from file to file. Growing it copies what it holds; nothing is
// zero-filled, since every byte up to size() has been read.
class FileBytes {
public:
    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    std::span<const std::uint8_t> view() const { return {m_data.get(), m_size}; }
    void clear() { m_size = 0; }

    // Appends up to `count` bytes read from `in`; fewer mean the file ended.
    tarvik::Result<std::size_t> append(int in, std::size_t count) {
        if (m_size + count > m_capacity) {
            const std::size_t capacity = std::max(m_size + count, m_capacity * 2);
            auto data = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
            std::copy_n(m_data.get(), m_size, data.get());
            m_data = std::move(data);
            m_capacity = capacity;
        }
        tarvik::Result<std::size_t> got = tarvik::readSome(in, m_data.get() + m_size, count);
        if (got) {
            m_size += *got;
        }
        return got;
    }

    // What the first read should ask for: the memory kept, so a file no larger than those seen before is
    // read whole at once; within a bound, since a file skipped for its signature needs only two bytes.
    std::size_t firstRead() const { return std::clamp(m_capacity, FirstReadBytes, MaxFirstReadBytes); }

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// What one worker keeps from file to file: its own image and the memory its files are read into; and what
// all workers share: the cancel flag and the gate every replacement of a target passes.
struct WorkerState {
    imaging::ImageModel model;
    FileBytes file;
    tarvik::ReplaceGate* gate = nullptr;
    MemoryBudget* budget = nullptr;

    bool cancelled() const { return gate->stop->load(); }

    // Gives back what a large file took, so that no worker sits on it while the others wait for room.
    void trim() {
        if (file.capacity() > KeptFileBytes) {
            file = FileBytes();
        }
        if (model.Pixels.capacity() > KeptPixels) {
            std::vector<imaging::PixelRecord>().swap(model.Pixels);
        }
    }
};

// The share of the budget an entry takes: its bytes, and for a bitmap read whole, its pixel records too
// (8 bytes for each pixel of 3 or 4 bytes) and the RL file made of them.
std::uint64_t entryCost(const Plan& plan, const std::string& entry) {
    struct stat info {};
    if (::stat(entry.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (plan.direction == Direction::Compress) {
        return size > StreamAboveBytes ? size + StreamedEntryBytes : size * 4 + (std::uint64_t{1} << 20);
    }
    return size * 2 + (std::uint64_t{2} << 20);  // the RL file and a block of bitmap rows
}

EntryResult& settle(EntryResult& result, Outcome outcome, Reason reason, std::string detail = {}) {
    result.outcome = outcome;
    result.reason = reason;
    result.detail = std::move(detail);
    return result;
}

std::string describe(const tarvik::Error& error) {
    std::string text = tarvik::errorCodeName(error.code);
    if (!error.detail.empty()) {
        text += ": " + error.detail;
    }
    return text;
}

// Reads on, up to `limit` bytes in all or the file's end, after a first read that filled all it asked for.
// Files that change size while being read are taken as they come; the size only sizes the read.
tarvik::Status readRest(int in, FileBytes& file, std::uint64_t limit) {
    if (file.size() >= limit) {
        return {};
    }
    struct stat info {};
    if (::fstat(in, &info) != 0) {
        return tarvik::makeError(tarvik::ErrorCode::Io, "cannot read: " + tarvik::systemErrorText(errno));
    }
    const std::uint64_t expected = std::min(static_cast<std::uint64_t>(info.st_size), limit);
    if (expected > MaxEntryBytes) {
        return tarvik::makeError(tarvik::ErrorCode::TooLarge, "file too large");
    }
    while (file.size() < limit) {
        if (file.size() > MaxEntryBytes) {
            return tarvik::makeError(tarvik::ErrorCode::TooLarge, "file too large");
        }
        // One byte beyond the expected size, so a file read whole needs no second call to see its end.
        const std::uint64_t want = std::min<std::uint64_t>(
            expected >= file.size() ? expected - file.size() + 1 : file.size(), limit - file.size());
        tarvik::Result<std::size_t> got = file.append(in, static_cast<std::size_t>(want));
        if (!got) {
            return got.error();
        }
        if (*got < want) {
            return {};
        }
    }
    return {};
}

// An entry named NAME.png, in any case, when PNG files are part of the run.
bool isPngEntry(const Plan& plan, const std::string& entry) {
    return plan.pngFiles && plan.direction == Direction::Compress && imaging::namesPngFile(fs::path(entry));
}

std::string withBitmapName(const std::string& pngPath) {
    return pngPath.substr(0, pngPath.size() - 4) + ".bmp";
}

// The mirrored path, NAME.png written as NAME.bmp.
std::optional<std::string> entryTarget(const Plan& plan, const std::string& entry) {
    std::optional<std::string> target = targetPath(entry, plan.sourceFolder, plan.backupFolder);
    if (target && isPngEntry(plan, entry)) {
        target = withBitmapName(*target);
    }
    return target;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(fs::path(a), fs::path(b), ec) && !ec;
}

// A reader's refusal skips the file; an image too large for the memory at hand is the run's own trouble.
EntryResult& loadFailure(EntryResult& result, const tarvik::Error& error) {
    if (error.code == tarvik::ErrorCode::OutOfMemory) {
        return settle(result, Outcome::Failed, Reason::NoMemory, error.detail);
    }
    return settle(result, Outcome::Skipped, Reason::LoadFailed, describe(error));
}

// An RL file to a bitmap, decoded and written a block of rows at a time: the memory needed is the RL file
// (at most a few dozen megabytes) and about a megabyte, whatever the image's size.
std::optional<EntryResult> decompressEntry(const Plan& plan, EntryResult& result, std::span<const std::uint8_t> file,
                                           WorkerState& state, mode_t sourcePermissions) {
    // The checks first, so that a file the reader or the writer refuses leaves no empty folder behind.
    imaging::AlphaCounts counts;
    if (tarvik::Status inspected = imaging::inspectCompressed(file, state.model, counts); !inspected) {
        return loadFailure(result, inspected.error());
    }
    if (tarvik::Result<std::vector<std::uint8_t>> header = imaging::detail::bitmapHeaderFor(state.model); !header) {
        return settle(result, Outcome::Skipped, Reason::WriterRefused, describe(header.error()));
    }
    if (plan.dryRun) {
        return settle(result, Outcome::Converted, Reason::None);
    }
    if (state.cancelled()) {
        return std::nullopt;
    }
    tarvik::Result<tarvik::FileHandle> folder =
        openMirrorFolder(result.entry, plan.sourceFolder, plan.backupFolder, true);
    if (!folder) {
        return settle(result, Outcome::Failed, Reason::FolderFailed, folder.error().detail);
    }
    tarvik::AtomicFileWriter out(*folder, fs::path(result.target).filename().string(), result.target,
                                 sourcePermissions);
    if (tarvik::Status written = imaging::writeDecompressed(file, state.model, out); !written) {
        return loadFailure(result, written.error());
    }
    if (tarvik::Status written = out.commit(state.gate); !written) {
        if (written.error().code == tarvik::ErrorCode::Cancelled) {
            return std::nullopt;
        }
        return settle(result, Outcome::Failed, Reason::WriteFailed, written.error().detail);
    }
    return settle(result, Outcome::Converted, Reason::None);
}

// A large bitmap, compressed in two passes over its bytes (statistics, then codes) without pixel records.
std::optional<EntryResult> streamCompressEntry(const Plan& plan, EntryResult& result, WorkerState& state,
                                               mode_t sourcePermissions) {
    if (tarvik::Status inspected = imaging::inspectBitmapImage(result.entry, state.model); !inspected) {
        return loadFailure(result, inspected.error());
    }
    if (state.model.CompressedColorCount >= imaging::CompressibleColorLimit) {
        return settle(result, Outcome::Skipped, Reason::TooManyColours,
                      std::to_string(state.model.CompressedColorCount) + " combinations");
    }
    std::optional<EntryResult> sinkOutcome;
    bool cancelled = false;
    tarvik::Status made = imaging::compressBitmapFile(
        result.entry, state.model, [&](std::vector<std::uint8_t> bytes) -> tarvik::Status {
            if (plan.dryRun) {
                return {};
            }
            if (state.cancelled()) {
                cancelled = true;
                return tarvik::makeError(tarvik::ErrorCode::Cancelled, "cancelled");
            }
            tarvik::Result<tarvik::FileHandle> folder =
                openMirrorFolder(result.entry, plan.sourceFolder, plan.backupFolder, true);
            if (!folder) {
                sinkOutcome = settle(result, Outcome::Failed, Reason::FolderFailed, folder.error().detail);
                return folder.error();
            }
            tarvik::Status written =
                tarvik::writeFileAtomically(*folder, fs::path(result.target).filename().string(), result.target,
                                            bytes, sourcePermissions, state.gate);
            if (!written && written.error().code == tarvik::ErrorCode::Cancelled) {
                cancelled = true;
            } else if (!written) {
                sinkOutcome = settle(result, Outcome::Failed, Reason::WriteFailed, written.error().detail);
            }
            return written;
        });
    if (cancelled) {
        return std::nullopt;
    }
    if (sinkOutcome) {
        return sinkOutcome;
    }
    if (!made) {
        switch (made.error().code) {
            case tarvik::ErrorCode::OutOfMemory:
                return settle(result, Outcome::Failed, Reason::NoMemory, made.error().detail);
            case tarvik::ErrorCode::Io:
            case tarvik::ErrorCode::Truncated:
                return settle(result, Outcome::Failed, Reason::ReadFailed, describe(made.error()));
            default:
                return settle(result, Outcome::Skipped, Reason::WriterRefused, describe(made.error()));
        }
    }
    return settle(result, Outcome::Converted, Reason::None);
}

// Nothing when a cancel came before the entry began to replace its target: the work is abandoned, its
// temporary file removed, and it is reported as never started.
std::optional<EntryResult> processEntry(const Plan& plan, std::size_t index, WorkerState& state) {
    EntryResult result;
    result.index = index;
    result.entry = plan.entries[index];
    std::optional<std::string> target = entryTarget(plan, result.entry);
    if (target) {
        result.target = *target;
    }
    const std::string& entry = result.entry;

    fs::file_status status;
    if (!PathExists(entry, status)) {
        return settle(result, Outcome::Skipped, Reason::Vanished);
    }
    if (!target) {
        return settle(result, Outcome::Failed, Reason::NotBelowSource, "not below " + plan.sourceFolder);
    }
    if (isPngEntry(plan, entry) && PathExists(withBitmapName(entry))) {
        return settle(result, Outcome::Skipped, Reason::BitmapBeside,
                      fs::path(withBitmapName(entry)).filename().string());
    }
    imaging::ResetImageModel(state.model);

    // Opened without waiting and checked on the descriptor: a pipe or device swapped in for the file after
    // the listing would block the run or never end.
    tarvik::Result<tarvik::FileHandle> opened = tarvik::openFileForReading(entry);
    if (!opened) {
        return settle(result, Outcome::Failed, Reason::ReadFailed, opened.error().detail);
    }
    tarvik::FileHandle in = std::move(opened.value());
    struct stat sourceInfo {};
    ::fstat(in.fd(), &sourceInfo);
    // A new target is no more readable than its source: a private bitmap must not become a public RL file.
    const mode_t sourcePermissions = sourceInfo.st_mode & 0777;
    // The signature, and for a file no larger than the worker's memory, the whole file.
    FileBytes& file = state.file;
    file.clear();
    const std::size_t firstRead = file.firstRead();
    tarvik::Result<std::size_t> got = file.append(in.fd(), firstRead);
    if (!got) {
        return settle(result, Outcome::Failed, Reason::ReadFailed, got.error().detail);
    }
    const bool wholeFile = *got < firstRead;
    const imaging::FileKind kind = imaging::fileKindOf(file.view());
    const imaging::Reader reader =
        plan.direction == Direction::Compress ? imaging::Reader::Bitmap : imaging::Reader::Compressed;
    auto readWhole = [&]() -> tarvik::Status {
        // Only what the readers look at: bytes trailing a bitmap's rows or an RL file's codes are not read.
        const std::uint64_t wanted = kind == imaging::FileKind::Png ? imaging::MaxPngFileBytes
                                                                    : imaging::bytesReaderUses(reader, file.view());
        tarvik::Status read = wholeFile ? tarvik::Status{} : readRest(in.fd(), file, wanted);
        in = tarvik::FileHandle();  // before the target is written: with source = backup it replaces this very file
        return read;
    };
    std::string_view signature(reinterpret_cast<const char*>(file.view().data()),
                               std::min<std::size_t>(file.size(), 2));

    const bool compress = plan.direction == Direction::Compress;
    const bool convertible =
        signature == (compress ? "BM" : "RL") || (compress && plan.pngFiles && kind == imaging::FileKind::Png);
    const bool alreadyTarget = signature == (compress ? "RL" : "BM");
    if (!convertible && !alreadyTarget) {
        return settle(result, Outcome::Skipped, Reason::UnknownType);
    }

    if (alreadyTarget) {
        if (!plan.copyOthers) {
            return settle(result, Outcome::Skipped, Reason::CopyOff);
        }
        if (plan.dryRun) {
            return settle(result, Outcome::Copied, Reason::None);
        }
        if (state.cancelled()) {
            return std::nullopt;
        }
        tarvik::Result<tarvik::FileHandle> folder =
            openMirrorFolder(entry, plan.sourceFolder, plan.backupFolder, true);
        if (!folder) {
            return settle(result, Outcome::Failed, Reason::FolderFailed, folder.error().detail);
        }
        // Copying a file onto itself (source = backup) would only risk it. The folder is reached without
        // links first, so a link cannot pass for that case.
        if (sameFile(entry, *target)) {
            return settle(result, Outcome::Copied, Reason::None);
        }
        // A copy needs no decoding, so it is streamed: any size, in little memory.
        tarvik::AtomicFileWriter copy(*folder, fs::path(*target).filename().string(), *target, sourcePermissions);
        copy.write(file.view());
        if (!wholeFile) {
            std::vector<std::uint8_t> chunk(CopyChunkBytes);
            for (;;) {
                tarvik::Result<std::size_t> got = tarvik::readSome(in.fd(), chunk.data(), chunk.size());
                if (!got) {
                    return settle(result, Outcome::Failed, Reason::ReadFailed, got.error().detail);
                }
                if (*got == 0) {
                    break;
                }
                copy.write(std::span<const std::uint8_t>(chunk.data(), *got));
            }
        }
        in = tarvik::FileHandle();
        if (tarvik::Status written = copy.commit(state.gate); !written) {
            if (written.error().code == tarvik::ErrorCode::Cancelled) {
                return std::nullopt;
            }
            return settle(result, Outcome::Failed, Reason::WriteFailed, written.error().detail);
        }
        return settle(result, Outcome::Copied, Reason::None);
    }

    if (compress && !plan.fit && kind == imaging::FileKind::Bitmap && !wholeFile &&
        static_cast<std::uint64_t>(sourceInfo.st_size) > StreamAboveBytes) {
        in = tarvik::FileHandle();
        return streamCompressEntry(plan, result, state, sourcePermissions);
    }
    if (tarvik::Status read = readWhole(); !read) {
        if (read.error().code == tarvik::ErrorCode::TooLarge) {
            return settle(result, Outcome::Skipped, Reason::LoadFailed, describe(read.error()));
        }
        return settle(result, Outcome::Failed, Reason::ReadFailed, describe(read.error()));
    }
    if (!compress) {
        return decompressEntry(plan, result, file.view(), state, sourcePermissions);
    }
    tarvik::Status loaded = imaging::decodePicture(file.view(), kind, state.model);
    if (!loaded) {
        return loadFailure(result, loaded.error());
    }
    // Encoding before any folder is made: an image the writer refuses leaves no empty folder behind.
    tarvik::Result<std::vector<std::uint8_t>> encoded = imaging::encodeCompressed(state.model);
    if (!encoded && compress && plan.fit) {
        // What plain compression refuses and fitting can mend; the fitter gives the same bytes otherwise.
        tarvik::Result<fitting::Fitted> fitted = fitting::fitImage(state.model);
        if (fitted) {
            encoded = std::move(fitted->rl);
            result.fitted = true;
        } else {
            encoded = fitted.error();
        }
    }
    if (compress && !result.fitted && state.model.CompressedColorCount >= imaging::CompressibleColorLimit) {
        std::string detail = std::to_string(state.model.CompressedColorCount) + " combinations";
        if (plan.fit && !encoded) {
            detail += " (cannot fit: " + encoded.error().detail + ")";
        }
        return settle(result, Outcome::Skipped, Reason::TooManyColours, detail);
    }
    if (!encoded) {
        return settle(result, Outcome::Skipped, Reason::WriterRefused, describe(encoded.error()));
    }
    if (plan.dryRun) {
        return settle(result, Outcome::Converted, Reason::None);
    }
    if (state.cancelled()) {
        return std::nullopt;
    }
    tarvik::Result<tarvik::FileHandle> folder = openMirrorFolder(entry, plan.sourceFolder, plan.backupFolder, true);
    if (!folder) {
        return settle(result, Outcome::Failed, Reason::FolderFailed, folder.error().detail);
    }
    if (tarvik::Status written = tarvik::writeFileAtomically(*folder, fs::path(*target).filename().string(), *target,
                                                             *encoded, sourcePermissions, state.gate);
        !written) {
        if (written.error().code == tarvik::ErrorCode::Cancelled) {
            return std::nullopt;
        }
        return settle(result, Outcome::Failed, Reason::WriteFailed, written.error().detail);
    }
    return settle(result, Outcome::Converted, Reason::None);
}

// A worker thread must never let an exception escape: it would end the program.
std::optional<EntryResult> processEntrySafely(const Plan& plan, std::size_t index, WorkerState& state) {
    try {
        MemoryBudget::Lease lease(*state.budget, entryCost(plan, plan.entries[index]));
        std::optional<EntryResult> result = processEntry(plan, index, state);
        state.trim();
        return result;
    } catch (const std::bad_alloc&) {
        state.trim();
        EntryResult result;
        result.index = index;
        result.entry = plan.entries[index];
        return settle(result, Outcome::Failed, Reason::NoMemory, "not enough memory");
    } catch (const std::exception& e) {
        EntryResult result;
        result.index = index;
        result.entry = plan.entries[index];
        return settle(result, Outcome::Failed, Reason::ReadFailed,
                      std::string("unexpected error: ") + e.what());
    }
}

unsigned workerCount(unsigned requested, std::size_t entries) {
    unsigned jobs = requested;
    if (jobs == 0) {
        jobs = std::max(1u, std::thread::hardware_concurrency());
    }
    jobs = std::min(jobs, MaxJobs);
    return static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(entries, 1)));
}

// Paths as the files they reach, so that two spellings of one file are never worked on at once: the
// folder part resolved (a backup folder named through a link to the source folder, "..", "."), and, for an
// entry that is itself a link to a file, also the file it names.
class PathKeys {
public:
    std::string of(const std::string& text) {
        const fs::path path(text);
        auto [it, inserted] = m_folders.try_emplace(path.parent_path().string());
        if (inserted) {
            std::error_code ec;
            fs::path folder = fs::weakly_canonical(fs::absolute(path.parent_path(), ec), ec);
            it->second = ec ? fs::absolute(path.parent_path(), ec).lexically_normal() : folder;
        }
        return (it->second / path.filename()).string();
    }

    // The file a link names, or "" when `text` is no link.
    std::string linked(const std::string& text) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(text, ec))) {
            return {};
        }
        fs::path resolved = fs::weakly_canonical(text, ec);
        return ec ? std::string() : resolved.string();
    }

private:
    std::unordered_map<std::string, fs::path> m_folders;
};

constexpr std::size_t KeysPerEntry = 3;  // the entry, its target, the file the entry links to

// For each entry, the earlier entries it must wait for: those touching a path it touches. Only the latest
// earlier toucher of each path is needed, as those are ordered themselves.
std::vector<std::array<std::size_t, KeysPerEntry>> orderingConstraints(const Plan& plan) {
    PathKeys paths;
    std::vector<std::array<std::size_t, KeysPerEntry>> waits(plan.entries.size());
    std::unordered_map<std::string, std::size_t> lastToucher;
    lastToucher.reserve(plan.entries.size() * 2);
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        waits[i].fill(NoEntry);
        const std::string& entry = plan.entries[i];
        std::optional<std::string> target = entryTarget(plan, entry);
        const std::string keys[KeysPerEntry] = {paths.of(entry), target ? paths.of(*target) : std::string(),
                                                paths.linked(entry)};
        for (std::size_t k = 0; k < KeysPerEntry; ++k) {
            if (keys[k].empty()) {
                continue;
            }
            auto [it, inserted] = lastToucher.try_emplace(keys[k], i);
            if (!inserted && it->second != i) {
                waits[i][k] = it->second;
                it->second = i;
            }
        }
    }
    return waits;
}

class SummaryKeeper {
public:
    SummaryKeeper(RunObserver& observer, std::size_t count) : m_observer(observer) {
        m_summary.count = count;
    }

    void report(const EntryResult& result) {
        switch (result.outcome) {
            case Outcome::Converted:
                ++(result.fitted ? m_summary.fitted : m_summary.converted);
                break;
            case Outcome::Copied:
                ++m_summary.copied;
                break;
            case Outcome::Skipped:
                ++m_summary.skipped;
                break;
            case Outcome::Failed:
                ++m_summary.failed;
                break;
        }
        ++m_summary.byReason[static_cast<std::size_t>(result.reason)];
        ++m_summary.processed;
        m_observer.onEntry(result, Progress{result.index + 1, m_summary.count});
    }

    // Not an entry of the list: the position stays where it is.
    void reportUnlisted(const UnlistedFolder& folder) {
        EntryResult result;
        result.entry = folder.folder;
        settle(result, Outcome::Failed, Reason::FolderUnlisted, folder.reason);
        ++m_summary.failed;
        ++m_summary.byReason[static_cast<std::size_t>(result.reason)];
        m_observer.onEntry(result, Progress{0, m_summary.count});
    }

    Summary finish() {
        m_summary.cancelled = m_summary.processed < m_summary.count;
        return m_summary;
    }

private:
    RunObserver& m_observer;
    Summary m_summary;
};

Summary runOnCallingThread(const Plan& plan, SummaryKeeper& keeper, tarvik::ReplaceGate& gate) {
    MemoryBudget budget(plan.memoryBudget);
    WorkerState state;
    state.gate = &gate;
    state.budget = &budget;
    for (std::size_t i = 0; i < plan.entries.size() && !state.cancelled(); ++i) {
        if (std::optional<EntryResult> result = processEntrySafely(plan, i, state)) {
            keeper.report(*result);
        }
    }
    return keeper.finish();
}

// The calling thread converts entries too and, between two of its own, reports every entry finished so far
// in list order: the other workers need not wake it for each entry, which on a machine with few cores
// costs more than the entries themselves when they are small.
Summary runOnWorkers(const Plan& plan, unsigned jobs, SummaryKeeper& keeper, tarvik::ReplaceGate& gate) {
    MemoryBudget budget(plan.memoryBudget);
    const std::atomic<bool>& cancel = *gate.stop;
    const std::size_t count = plan.entries.size();
    const std::vector<std::array<std::size_t, KeysPerEntry>> waits = orderingConstraints(plan);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<EntryResult>> finished(count);
    std::vector<char> done(count, 0);
    std::size_t nextClaim = 0;
    unsigned running = 0;  // other workers still claiming entries

    // The next entry, once the earlier entries it depends on are done; NoEntry when the list is done or the
    // run is cancelled.
    auto claim = [&]() -> std::size_t {
        if (cancel.load()) {
            return NoEntry;
        }
        std::unique_lock lock(mutex);
        if (nextClaim >= count) {
            return NoEntry;
        }
        const std::size_t index = nextClaim++;
        // Earlier entries are all claimed already and always finish, so this cannot deadlock.
        changed.wait(lock, [&] {
            return std::all_of(waits[index].begin(), waits[index].end(),
                               [&](std::size_t w) { return w == NoEntry || done[w]; });
        });
        return index;
    };
    auto process = [&](std::size_t index, WorkerState& state) {
        std::optional<EntryResult> result = processEntrySafely(plan, index, state);
        {
            std::lock_guard lock(mutex);
            finished[index] = std::move(result);
            done[index] = 1;
        }
        changed.notify_all();  // no system call while nobody waits
    };
    auto work = [&] {
        WorkerState state;
        state.gate = &gate;
        state.budget = &budget;
        for (std::size_t index = claim(); index != NoEntry; index = claim()) {
            process(index, state);
        }
        {
            std::lock_guard lock(mutex);
            --running;
        }
        changed.notify_all();
    };

    std::vector<std::thread> threads;
    threads.reserve(jobs - 1);
    for (unsigned j = 1; j < jobs; ++j) {
        {
            std::lock_guard lock(mutex);
            ++running;
        }
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            std::lock_guard lock(mutex);
            --running;
            break;  // fewer workers; the calling thread still gets through the list
        }
    }

    // Reports the finished entries at the head of the list; at the end, waits for the other workers too.
    // Claimed entries form a prefix of the list and all finish, so once no worker claims any more, the
    // reports stop at the first entry that is neither finished nor going to be.
    std::size_t nextReport = 0;
    auto reportFinished = [&](bool untilWorkersStop) {
        for (;;) {
            std::unique_lock lock(mutex);
            // An abandoned entry is done without a result: it is passed over, as if never started.
            const auto headFinished = [&] { return nextReport < count && done[nextReport]; };
            if (untilWorkersStop) {
                changed.wait(lock, [&] { return headFinished() || running == 0; });
            }
            if (!headFinished()) {
                return;
            }
            std::optional<EntryResult> result = std::move(finished[nextReport]);
            finished[nextReport].reset();
            lock.unlock();
            if (result) {
                keeper.report(*result);
            }
            ++nextReport;
        }
    };

    WorkerState state;
    state.gate = &gate;
    state.budget = &budget;
    for (std::size_t index = claim(); index != NoEntry; index = claim()) {
        process(index, state);
        reportFinished(false);
    }
    reportFinished(true);
    for (std::thread& thread : threads) {
        thread.join();
    }
    return keeper.finish();
}

}  // namespace

Summary run(const Plan& plan, RunObserver& observer, const std::atomic<bool>& CancelRequested) {
    SummaryKeeper keeper(observer, plan.entries.size());
    for (const UnlistedFolder& folder : plan.unlistedFolders) {
        keeper.reportUnlisted(folder);
    }
    tarvik::ReplaceGate gate;
    gate.stop = &CancelRequested;
    unsigned jobs = workerCount(plan.jobs, plan.entries.size());
    if (jobs <= 1) {
        return runOnCallingThread(plan, keeper, gate);
    }
    return runOnWorkers(plan, jobs, keeper, gate);
}

std::string_view outcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Converted:
            return "converted";
        case Outcome::Copied:
            return "copied";
        case Outcome::Skipped:
            return "skipped";
        case Outcome::Failed:
            return "failed";
    }
    return "?";
}

std::string_view reasonText(Reason reason) {
    switch (reason) {
        case Reason::None:
            return "";
        case Reason::Vanished:
            return "vanished";
        case Reason::UnknownType:
            return "unknown type";
        case Reason::LoadFailed:
            return "load failed";
        case Reason::TooManyColours:
            return "too many colours";
        case Reason::WriterRefused:
            return "refused by the writer";
        case Reason::CopyOff:
            return "not copied";
        case Reason::ReadFailed:
            return "cannot read";
        case Reason::FolderFailed:
            return "cannot create folder";
        case Reason::WriteFailed:
            return "cannot write";
        case Reason::NotBelowSource:
            return "not below the source folder";
        case Reason::BitmapBeside:
            return "bitmap of the same name beside it";
        case Reason::NoMemory:
            return "not enough memory";
        case Reason::FolderUnlisted:
            return "cannot list the folder";
    }
    return "?";
}

}  // namespace batch
