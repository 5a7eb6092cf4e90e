#include "batch_entry.h"

#include <sys/stat.h>

#include <exception>
#include <filesystem>
#include <new>
#include <span>
#include <string_view>
#include <system_error>

#include "bmp_stream.h"
#include "file_search.h"
#include "fitter.h"
#include "image_files.h"
#include "mirror.h"
#include "png_codec.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

// The codecs' own limits refuse far smaller images; this only keeps a hostile file from being read whole.
constexpr std::uint64_t MaxEntryBytes = std::uint64_t{1} << 31;
// Bitmaps above this size are compressed in two passes over their bytes, with no pixel records.
constexpr std::uint64_t StreamAboveBytes = std::uint64_t{16} << 20;
// What such an entry holds beside the file's bytes: the statistics sets, a row and the RL file it makes.
constexpr std::uint64_t StreamedEntryBytes = std::uint64_t{40} << 20;
// Buffers a worker keeps for its next file; anything larger is given back after the entry.
constexpr std::size_t KeptFileBytes = std::size_t{8} << 20;
constexpr std::size_t KeptPixels = std::size_t{1} << 20;

// An entry named NAME.png, in any case, when PNG files are part of the run.
bool isPngEntry(const Plan& plan, const std::string& entry) {
    return plan.pngFiles && plan.direction == Direction::Compress && imaging::namesPngFile(fs::path(entry));
}

std::string withBitmapName(const std::string& pngPath) {
    return pngPath.substr(0, pngPath.size() - 4) + ".bmp";
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(fs::path(a), fs::path(b), ec) && !ec;
}

std::string describe(const tarvik::Error& error) {
    std::string text = tarvik::errorCodeName(error.code);
    if (!error.detail.empty()) {
        text += ": " + error.detail;
    }
    return text;
}

// What an entry's handling ends with: nothing when it was abandoned after a cancel.
using Finished = std::optional<EntryResult>;

// One entry under way: its result so far, the open source file and what the conversion needs.
class Entry {
public:
    Entry(const Plan& plan, std::size_t index, EntryWorkspace& workspace) : m_plan(plan), m_workspace(workspace) {
        m_result.index = index;
        m_result.entry = plan.entries[index];
        if (std::optional<std::string> target = entryTarget(plan, m_result.entry)) {
            m_result.target = *target;
        }
    }

    Finished settle(Outcome outcome, Reason reason, std::string detail = {}) {
        m_result.outcome = outcome;
        m_result.reason = reason;
        m_result.detail = std::move(detail);
        return m_result;
    }

    // The source's signature decides: converted, copied as it is, or skipped.
    Finished classify() {
        const std::string& entry = m_result.entry;
        if (!PathExists(entry)) {
            return settle(Outcome::Skipped, Reason::Vanished);
        }
        if (m_result.target.empty()) {
            return settle(Outcome::Failed, Reason::NotBelowSource, "not below " + m_plan.sourceFolder);
        }
        if (isPngEntry(m_plan, entry) && PathExists(withBitmapName(entry))) {
            return settle(Outcome::Skipped, Reason::BitmapBeside, fs::path(withBitmapName(entry)).filename().string());
        }
        // Opened without waiting and checked on the descriptor: a pipe or device swapped in for the file
        // after the listing would block the run or never end.
        tarvik::Result<tarvik::FileHandle> opened = tarvik::openFileForReading(entry);
        if (!opened) {
            return settle(Outcome::Failed, Reason::ReadFailed, opened.error().detail);
        }
        m_in = std::move(opened.value());
        struct stat info {};
        ::fstat(m_in.fd(), &info);
        // A new target is no more readable than its source: a private bitmap must not become a public RL file.
        m_permissions = info.st_mode & 0777;
        m_size = static_cast<std::uint64_t>(info.st_size);
        std::vector<std::uint8_t>& file = m_workspace.file;
        file.clear();
        if (tarvik::Status head = tarvik::readInto(m_in.fd(), file, imaging::ReaderHeadBytes, MaxEntryBytes); !head) {
            return settle(Outcome::Failed, Reason::ReadFailed, head.error().detail);
        }
        m_kind = imaging::fileKindOf(file);
        const std::string_view signature(reinterpret_cast<const char*>(file.data()), std::min<std::size_t>(file.size(), 2));
        const bool compress = m_plan.direction == Direction::Compress;
        if (signature == (compress ? "RL" : "BM")) {
            return m_plan.copyOthers ? copy() : settle(Outcome::Skipped, Reason::CopyOff);
        }
        if (signature == (compress ? "BM" : "RL") || (compress && m_plan.pngFiles && m_kind == imaging::FileKind::Png)) {
            return compress ? compressEntry() : decompressEntry();
        }
        return settle(Outcome::Skipped, Reason::UnknownType);
    }

private:
    // A file already in the target format, streamed: any size, in little memory.
    Finished copy() {
        tarvik::FileHandle folder;
        if (Finished end; !openTargetFolder(Outcome::Copied, folder, end)) {
            return end;
        }
        // Copying a file onto itself (source = backup) would only risk it. The folder is reached without
        // links first, so a link cannot pass for that case.
        if (sameFile(m_result.entry, m_result.target)) {
            return settle(Outcome::Copied, Reason::None);
        }
        tarvik::AtomicFileWriter out(folder, targetName(), m_permissions);
        out.write(m_workspace.file);
        if (tarvik::Status read = out.writeRestOf(m_in.fd()); !read) {
            return settle(Outcome::Failed, Reason::ReadFailed, read.error().detail);
        }
        m_in = tarvik::FileHandle();
        return committed(out.commit(m_workspace.gate), Outcome::Copied);
    }

    // What the reader looks at, read into the worker's memory. Bytes trailing a bitmap's rows or an RL
    // file's codes are not read.
    tarvik::Status readRest() {
        const imaging::Reader reader =
            m_plan.direction == Direction::Compress ? imaging::Reader::Bitmap : imaging::Reader::Compressed;
        const std::uint64_t wanted = m_kind == imaging::FileKind::Png
                                         ? imaging::MaxPngFileBytes
                                         : imaging::bytesReaderUses(reader, m_workspace.file);
        tarvik::Status read = tarvik::readInto(m_in.fd(), m_workspace.file, wanted, MaxEntryBytes);
        m_in = tarvik::FileHandle();  // before the target is written: with source = backup it replaces this very file
        return read;
    }

    Finished readFailure(const tarvik::Error& error) {
        // Too large to read is the file's own trouble, as any reader's refusal is.
        if (error.code == tarvik::ErrorCode::TooLarge) {
            return settle(Outcome::Skipped, Reason::LoadFailed, describe(error));
        }
        return settle(Outcome::Failed, Reason::ReadFailed, describe(error));
    }

    // A reader's refusal skips the file; an image too large for the memory at hand is the run's own trouble.
    Finished loadFailure(const tarvik::Error& error) {
        if (error.code == tarvik::ErrorCode::OutOfMemory) {
            return settle(Outcome::Failed, Reason::NoMemory, error.detail);
        }
        return settle(Outcome::Skipped, Reason::LoadFailed, describe(error));
    }

    Finished compressEntry() {
        if (!m_plan.fit && m_kind == imaging::FileKind::Bitmap && m_size > StreamAboveBytes) {
            m_in = tarvik::FileHandle();
            return compressStreamed();
        }
        if (tarvik::Status read = readRest(); !read) {
            return readFailure(read.error());
        }
        imaging::ImageModel& model = m_workspace.model;
        if (tarvik::Status loaded = imaging::decodePicture(m_workspace.file, m_kind, model); !loaded) {
            return loadFailure(loaded.error());
        }
        // Encoding before any folder is made: an image the writer refuses leaves no empty folder behind.
        tarvik::Result<std::vector<std::uint8_t>> encoded = imaging::encodeCompressed(model);
        if (!encoded && m_plan.fit) {
            // What plain compression refuses and fitting can mend; the fitter gives the same bytes otherwise.
            tarvik::Result<fitting::Fitted> fitted = fitting::fitImage(model);
            if (fitted) {
                encoded = std::move(fitted->rl);
                m_result.fitted = true;
            } else {
                encoded = fitted.error();
            }
        }
        if (!m_result.fitted && !imaging::hasCompressibleColours(model)) {
            std::string detail = std::to_string(model.CompressedColorCount) + " combinations";
            if (m_plan.fit && !encoded) {
                detail += " (cannot fit: " + encoded.error().detail + ")";
            }
            return settle(Outcome::Skipped, Reason::TooManyColours, detail);
        }
        if (!encoded) {
            return settle(Outcome::Skipped, Reason::WriterRefused, describe(encoded.error()));
        }
        return writeTarget(*encoded);
    }

    // A large bitmap, compressed in two passes over its bytes (statistics, then codes) without pixel records.
    Finished compressStreamed() {
        imaging::ImageModel& model = m_workspace.model;
        if (tarvik::Status inspected = imaging::inspectBitmapImage(m_result.entry, model); !inspected) {
            return loadFailure(inspected.error());
        }
        if (!imaging::hasCompressibleColours(model)) {
            return settle(Outcome::Skipped, Reason::TooManyColours,
                          std::to_string(model.CompressedColorCount) + " combinations");
        }
        std::optional<Finished> written;
        tarvik::Status made =
            imaging::compressBitmapFile(m_result.entry, model, [&](std::vector<std::uint8_t> bytes) -> tarvik::Status {
                written = writeTarget(bytes);
                return tarvik::Status{};
            });
        if (written) {
            return *written;
        }
        switch (made.error().code) {
            case tarvik::ErrorCode::OutOfMemory:
                return settle(Outcome::Failed, Reason::NoMemory, made.error().detail);
            case tarvik::ErrorCode::Io:
            case tarvik::ErrorCode::Truncated:
                return settle(Outcome::Failed, Reason::ReadFailed, describe(made.error()));
            default:
                return settle(Outcome::Skipped, Reason::WriterRefused, describe(made.error()));
        }
    }

    // An RL file to a bitmap, decoded and written a block of rows at a time: the memory needed is the RL
    // file (at most a few dozen megabytes) and about a megabyte, whatever the image's size.
    Finished decompressEntry() {
        if (tarvik::Status read = readRest(); !read) {
            return readFailure(read.error());
        }
        const std::span<const std::uint8_t> file = m_workspace.file;
        imaging::ImageModel& model = m_workspace.model;
        // The checks first, so that a file the reader or the writer refuses leaves no empty folder behind.
        imaging::AlphaCounts counts;
        if (tarvik::Status inspected = imaging::inspectCompressed(file, model, counts); !inspected) {
            return loadFailure(inspected.error());
        }
        if (tarvik::Result<std::vector<std::uint8_t>> header = imaging::detail::bitmapHeaderFor(model); !header) {
            return settle(Outcome::Skipped, Reason::WriterRefused, describe(header.error()));
        }
        tarvik::FileHandle folder;
        if (Finished end; !openTargetFolder(Outcome::Converted, folder, end)) {
            return end;
        }
        tarvik::AtomicFileWriter out(folder, targetName(), m_permissions);
        if (tarvik::Status decoded = imaging::writeDecompressed(file, model, out); !decoded) {
            return loadFailure(decoded.error());
        }
        return committed(out.commit(m_workspace.gate), Outcome::Converted);
    }

    Finished writeTarget(std::span<const std::uint8_t> bytes) {
        tarvik::FileHandle folder;
        if (Finished end; !openTargetFolder(Outcome::Converted, folder, end)) {
            return end;
        }
        return committed(
            tarvik::writeFileAtomically(folder, targetName(), bytes, m_permissions, m_workspace.gate),
            Outcome::Converted);
    }

    // Before a target is written: false when the entry ends here instead (a dry run, with `outcome`; a
    // cancel; a folder that cannot be made), with `end` set to how it ends.
    bool openTargetFolder(Outcome outcome, tarvik::FileHandle& folder, Finished& end) {
        if (m_plan.dryRun) {
            end = settle(outcome, Reason::None);
            return false;
        }
        if (m_workspace.cancelled()) {
            end = std::nullopt;
            return false;
        }
        tarvik::Result<tarvik::FileHandle> opened =
            openMirrorFolder(m_result.entry, m_plan.sourceFolder, m_plan.backupFolder, true);
        if (!opened) {
            end = settle(Outcome::Failed, Reason::FolderFailed, opened.error().detail);
            return false;
        }
        folder = std::move(opened.value());
        return true;
    }

    Finished committed(const tarvik::Status& written, Outcome outcome) {
        if (written) {
            return settle(outcome, Reason::None);
        }
        if (written.error().code == tarvik::ErrorCode::Cancelled) {
            return std::nullopt;
        }
        return settle(Outcome::Failed, Reason::WriteFailed, written.error().detail);
    }

    std::string targetName() const { return fs::path(m_result.target).filename().string(); }

    const Plan& m_plan;
    EntryWorkspace& m_workspace;
    EntryResult m_result;
    tarvik::FileHandle m_in;
    mode_t m_permissions = 0;
    std::uint64_t m_size = 0;
    imaging::FileKind m_kind = imaging::FileKind::Unknown;
};

}  // namespace

std::optional<std::string> entryTarget(const Plan& plan, const std::string& entry) {
    std::optional<std::string> target = targetPath(entry, plan.sourceFolder, plan.backupFolder);
    if (target && isPngEntry(plan, entry)) {
        target = withBitmapName(*target);
    }
    return target;
}

void EntryWorkspace::trim() {
    if (file.capacity() > KeptFileBytes) {
        std::vector<std::uint8_t>().swap(file);
    }
    if (model.Pixels.capacity() > KeptPixels) {
        std::vector<imaging::PixelRecord>().swap(model.Pixels);
    }
}

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

std::optional<EntryResult> processEntry(const Plan& plan, std::size_t index, EntryWorkspace& workspace) {
    // A worker thread must never let an exception escape: it would end the program.
    const auto failure = [&](Reason reason, std::string detail) {
        EntryResult result;
        result.index = index;
        result.entry = plan.entries[index];
        result.outcome = Outcome::Failed;
        result.reason = reason;
        result.detail = std::move(detail);
        return result;
    };
    std::optional<EntryResult> result;
    try {
        imaging::ResetImageModel(workspace.model);
        result = Entry(plan, index, workspace).classify();
    } catch (const std::bad_alloc&) {
        result = failure(Reason::NoMemory, "not enough memory");
    } catch (const std::exception& e) {
        result = failure(Reason::ReadFailed, std::string("unexpected error: ") + e.what());
    }
    workspace.trim();
    return result;
}

}  // namespace batch
