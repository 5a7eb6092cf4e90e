#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "result.h"

namespace tarvik {

// An open file descriptor, closed with its owner.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : m_fd(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd = -1;
};

// Text of the C library's error number, for messages ("No space left on device", "File too large").
std::string systemErrorText(int error);

// Opens a regular file for reading. The open never waits (a named pipe swapped in for the file would
// otherwise block until a writer comes) and the type is checked on the open descriptor, so nothing can be
// swapped in between the check and the reads.
Result<FileHandle> openFileForReading(const std::filesystem::path& path);

// Reads up to `count` bytes at `offset`, retrying short reads; fewer bytes mean the file ended.
Result<std::size_t> readAt(int fd, void* buffer, std::size_t count, std::uint64_t offset);
// Reads up to `count` bytes from the current position, retrying short reads.
Result<std::size_t> readSome(int fd, void* buffer, std::size_t count);

// The file reader every other one is built on. Appends to `bytes` what follows the current position of
// `fd`, until `bytes` holds `limit` bytes or the file ends. The file's size only sizes the reads (one byte
// more than is left, so a file read whole needs no further call to see its end): a file that changes while
// it is read is taken as it comes. Fails with TooLarge when `bytes` would hold more than maxBytes, before
// reading when the size says so, so a hostile file (a huge one, a device) cannot make us allocate without
// bound; with Io when the file cannot be read. A caller reading file after file passes the same vector,
// cleared, to keep its memory.
Status readInto(int fd, std::vector<std::uint8_t>& bytes, std::uint64_t limit, std::uint64_t maxBytes);

// Reads a whole file into memory. Refuses files above maxBytes (TooLarge). Fails with Io when the file
// cannot be read.
Result<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                std::uintmax_t maxBytes = std::uintmax_t{1} << 31);

// Opens the folder `root` (as named: the user chose it), then each of `below` in turn, creating those that
// are missing when `create` is set. No link is followed below the root: a folder there that is a link
// (planted to send our writes into the source tree or anywhere else) fails the call with the reason, as
// does a file standing where a folder is needed.
Result<FileHandle> openFolderBelow(const std::filesystem::path& root, const std::vector<std::string>& below,
                                   bool create);

// Lets a caller stop replacements at the last moment: a writer given the gate checks `stop` and renames while
// holding `mutex`, so once `stop` is set and the mutex taken, no target that was not already being replaced
// is replaced any more. The writer then removes its temporary and fails with Cancelled.
struct ReplaceGate {
    std::mutex mutex;
    const std::atomic<bool>* stop = nullptr;
};

// Writes beside the target first and renames over it only after a complete, flushed write, so a
// failure (full disk, no permission, file-size limit) never leaves the old file destroyed or a half-written
// one. The temporary file's name is unique among the threads and processes writing to the same folder, and
// carries this process's id, so that a later writer to the folder can remove the leftovers of a process
// that was killed. A target that exists but is no regular file (a device such as /dev/null, a pipe, a
// folder) is refused: renaming over it would destroy it. A symbolic link as target is itself replaced,
// never written through. A replaced file keeps its permissions (and, when running as root, its owner); a
// new one takes those asked for at construction, or the usual ones.
class AtomicFileWriter {
public:
    // The folder part of `target` is opened as named. A new target gets `newPermissions` less the
    // process's umask (the bits of the file it is made from, say); without them, the usual 0666 less umask.
    explicit AtomicFileWriter(std::filesystem::path target, std::optional<mode_t> newPermissions = {});
    // `name` in an already opened folder (see openFolderBelow).
    AtomicFileWriter(const FileHandle& folder, std::string name, std::optional<mode_t> newPermissions = {});
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False when the temporary file could not be created; write() then fails too.
    bool isOpen() const { return m_file.valid(); }
    void write(std::span<const std::uint8_t> bytes);
    void write(const std::string& text);
    // Copies what follows the current position of `fd`: a copy of any size in little memory. Fails with the
    // read error; write errors show at commit(), as for write().
    Status writeRestOf(int fd);
    // Writes at an offset of the file being written, past or over what was written so far (for formats
    // whose rows are stored in the opposite order they are produced in). Unbuffered.
    void writeAt(std::span<const std::uint8_t> bytes, std::uint64_t offset);
    // Closes, checks every write and renames over the target. The temporary is removed on failure. Every
    // failure is the target's (Side::Output), whatever its kind.
    Status commit(ReplaceGate* gate = nullptr);

private:
    friend Status writeFileAtomically(const FileHandle& folder, const std::string& name,
                                      std::span<const std::uint8_t> bytes,
                                      std::optional<mode_t> newPermissions, ReplaceGate* gate);
    struct Unbuffered {};
    AtomicFileWriter(Unbuffered, const FileHandle& folder, std::string name,
                     std::optional<mode_t> newPermissions);
    void start(bool buffered, std::optional<mode_t> newPermissions);
    bool flushBuffer();
    // At `offset` when one is given, else at the current position.
    void rawWrite(const std::uint8_t* data, std::size_t size, std::optional<std::uint64_t> offset = {});
    void discard();

    FileHandle m_folder;
    std::string m_name;
    std::string m_tempName;
    int m_slot = -1;        // in the table of temporaries removed on a fatal signal
    std::string m_refusal;  // why the target cannot be replaced; empty when it can
    std::optional<mode_t> m_keptPermissions;
    std::optional<std::pair<uid_t, gid_t>> m_keptOwner;
    FileHandle m_file;
    std::vector<std::uint8_t> m_buffer;
    bool m_buffered = true;
    int m_openError = 0;
    int m_writeError = 0;
    bool m_committed = false;
};

// One-call form of AtomicFileWriter.
Status writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                           std::optional<mode_t> newPermissions = {});
Status writeFileAtomically(const FileHandle& folder, const std::string& name,
                           std::span<const std::uint8_t> bytes, std::optional<mode_t> newPermissions = {},
                           ReplaceGate* gate = nullptr);

// Removes the temporary files of the writes under way in this process. Safe to call from a signal
// handler, which is what it is for: a run ended by a signal leaves no hidden debris behind.
void removeTemporariesUnderWay() noexcept;

}  // namespace tarvik
