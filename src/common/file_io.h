#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "result.h"

namespace tarvik {

// Fails with Io when the path names something that exists but is not a file: a folder, or a named pipe,
// device or socket (opening a pipe waits for a writer that may never come, which would hang the window or
// a script). A missing path passes; opening it then gives the error.
Status checkIsFile(const std::filesystem::path& path);

// Reads a whole file into memory. Refuses files above maxBytes so a hostile path (a device,
// a huge file) cannot make us allocate without bound. Fails with Io when the file cannot be read.
Result<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                std::uintmax_t maxBytes = std::uintmax_t{1} << 31);

// Writes beside the target first and renames over it only after a complete, flushed write, so a
// failure (full disk, no permission) never leaves the old file destroyed or a half-written one.
// The temporary file's name is unique among the threads and processes writing to the same folder.
// A target that exists but is no regular file (a device such as /dev/null, a pipe, a folder) is refused:
// renaming over it would destroy it. A symbolic link as target is itself replaced, never written
// through, so a link planted in a backup folder cannot send a write anywhere else.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::filesystem::path target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False when the temporary file could not be created; write() then fails too.
    bool isOpen() const { return m_file.is_open(); }
    void write(std::span<const std::uint8_t> bytes);
    void write(const std::string& text);
    // Closes, checks every write and renames over the target. The temporary is removed on failure.
    Status commit();

private:
    friend Status writeFileAtomically(const std::filesystem::path& target,
                                      std::span<const std::uint8_t> bytes);
    // Unbuffered: for a single write, which then goes to the file in one call.
    AtomicFileWriter(std::filesystem::path target, bool buffered);
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::string m_refusal;  // why the target cannot be replaced; empty when it can
    std::optional<std::filesystem::perms> m_keptPermissions;  // those of the file being replaced
    std::filebuf m_file;
    bool m_writeFailed = false;
    bool m_committed = false;
};

// One-call form of AtomicFileWriter.
Status writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

}  // namespace tarvik
