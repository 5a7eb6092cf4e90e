#include "file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

namespace tarvik {

namespace fs = std::filesystem;

FileHandle::~FileHandle() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.release();
    }
    return *this;
}

std::string systemErrorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

Result<FileHandle> openFileForReading(const fs::path& path) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) {
        if (errno == EISDIR) {
            return makeError(ErrorCode::Io, "is a folder");
        }
        return makeError(ErrorCode::Io, systemErrorText(errno));
    }
    struct stat info {};
    if (::fstat(file.fd(), &info) != 0) {
        return makeError(ErrorCode::Io, systemErrorText(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return makeError(ErrorCode::Io, "is a folder");
    }
    if (!S_ISREG(info.st_mode)) {
        return makeError(ErrorCode::Io, "not a regular file");
    }
    const int flags = ::fcntl(file.fd(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK);
    }
    return file;
}

namespace {

// Reads until `count` bytes are in or the file ends, retrying short and interrupted reads; at `offset`
// when one is given, else from the current position.
Result<std::size_t> readFully(int fd, void* buffer, std::size_t count, std::optional<std::uint64_t> offset) {
    std::size_t done = 0;
    while (done < count) {
        char* into = static_cast<char*>(buffer) + done;
        const ssize_t got = offset ? ::pread(fd, into, count - done, static_cast<off_t>(*offset + done))
                                   : ::read(fd, into, count - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return makeError(ErrorCode::Io, systemErrorText(errno));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace

Result<std::size_t> readAt(int fd, void* buffer, std::size_t count, std::uint64_t offset) {
    return readFully(fd, buffer, count, offset);
}

Result<std::size_t> readSome(int fd, void* buffer, std::size_t count) {
    return readFully(fd, buffer, count, std::nullopt);
}

Status readInto(int fd, std::vector<std::uint8_t>& bytes, std::uint64_t limit, std::uint64_t maxBytes) {
    if (bytes.size() >= limit) {
        return {};
    }
    // A small read is asked for whole; only a larger one is sized by the file, so a reader taking a file in
    // two small steps (its head, then the rest) asks the system for nothing more than the reads.
    constexpr std::uint64_t MinPiece = 1 << 16;
    std::uint64_t expected = limit;
    if (limit - bytes.size() > MinPiece) {
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            return makeError(ErrorCode::Io, systemErrorText(errno));
        }
        expected = std::min(static_cast<std::uint64_t>(info.st_size), limit);
        if (expected > maxBytes) {
            return makeError(ErrorCode::TooLarge, "file too large");
        }
    }
    // Past the expected end (a growing file), pieces that double what is held.
    while (bytes.size() < limit) {
        const std::uint64_t held = bytes.size();
        if (held > maxBytes) {
            return makeError(ErrorCode::TooLarge, "file too large");
        }
        const std::uint64_t piece =
            std::min(expected >= held ? expected - held + 1 : std::max(held, MinPiece), limit - held);
        bytes.resize(static_cast<std::size_t>(held + piece));
        Result<std::size_t> got = readSome(fd, bytes.data() + held, static_cast<std::size_t>(piece));
        bytes.resize(static_cast<std::size_t>(held + (got ? *got : 0)));
        if (!got) {
            return got.error();
        }
        if (*got < piece) {
            break;
        }
    }
    if (bytes.size() > maxBytes) {
        return makeError(ErrorCode::TooLarge, "file too large");
    }
    return {};
}

Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path, std::uintmax_t maxBytes) {
    Result<FileHandle> file = openFileForReading(path);
    if (!file) {
        return file.error();
    }
    std::vector<std::uint8_t> bytes;
    const std::uint64_t limit = maxBytes < UINT64_MAX ? maxBytes + 1 : maxBytes;
    if (Status read = readInto(file->fd(), bytes, limit, maxBytes); !read) {
        return read.error();
    }
    return bytes;
}

Result<FileHandle> openFolderBelow(const fs::path& root, const std::vector<std::string>& below, bool create) {
    FileHandle folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        return makeError(ErrorCode::Io, root.string() + ": " + systemErrorText(errno));
    }
    fs::path shown = root;
    for (const std::string& name : below) {
        if (name.empty() || name == ".") {
            continue;
        }
        shown /= name;
        if (name == "..") {
            return makeError(ErrorCode::Io, shown.string() + ": leads out of " + root.string());
        }
        for (int attempt = 0;; ++attempt) {
            FileHandle next(::openat(folder.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (next.valid()) {
                folder = std::move(next);
                break;
            }
            const int error = errno;
            if (error == ENOENT && create && attempt == 0) {
                if (::mkdirat(folder.fd(), name.c_str(), 0777) != 0 && errno != EEXIST) {
                    return makeError(ErrorCode::Io, shown.string() + ": " + systemErrorText(errno));
                }
                continue;
            }
            struct stat info {};
            if ((error == ELOOP || error == ENOTDIR) &&
                ::fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(info.st_mode)) {
                    return makeError(ErrorCode::Io, shown.string() + ": is a symbolic link; links are not followed here");
                }
                return makeError(ErrorCode::Io, shown.string() + ": a file has that name");
            }
            return makeError(ErrorCode::Io, shown.string() + ": " + systemErrorText(error));
        }
    }
    return folder;
}

namespace {

// The temporaries of the writes under way, for removal from a signal handler: only atomics and fixed
// arrays, no allocation and no lock there.
constexpr int TemporarySlots = 160;
struct TemporarySlot {
    std::atomic<bool> taken{false};
    std::atomic<int> folder{-1};
    char name[NAME_MAX + 1] = {};
};
TemporarySlot g_temporaries[TemporarySlots];
// A temporary created just after the handler looked through the table would survive the program; so the
// handler first closes the door, then waits for the creations already past it.
std::atomic<bool> g_ending{false};
std::atomic<int> g_creating{0};

int registerTemporary(int folder, const std::string& name) {
    if (name.size() > NAME_MAX) {
        return -1;
    }
    for (int i = 0; i < TemporarySlots; ++i) {
        if (!g_temporaries[i].taken.exchange(true)) {
            std::memcpy(g_temporaries[i].name, name.c_str(), name.size() + 1);
            g_temporaries[i].folder.store(folder, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void unregisterTemporary(int slot) {
    if (slot >= 0) {
        g_temporaries[slot].folder.store(-1, std::memory_order_release);
        g_temporaries[slot].taken.store(false);
    }
}

// Drawn once per process: the counter keeps this process's writers apart, the process id and the 64 random
// bits keep it apart from other processes writing in the same folder, and the id tells a later run whether
// the writer still lives.
const std::string& processTag() {
    static const std::string tag = [] {
        std::random_device device;
        const std::uint64_t value = (std::uint64_t{device()} << 32) ^ device();
        char text[48];
        std::snprintf(text, sizeof text, "%ld-%016llx", static_cast<long>(::getpid()),
                      static_cast<unsigned long long>(value));
        return std::string(text);
    }();
    return tag;
}

std::string temporaryName(const std::string& target) {
    static std::atomic<std::uint64_t> counter{0};
    std::string suffix = ".";
    suffix += processTag();
    suffix += '.';
    suffix += std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
    suffix += ".tmp";
    // Keep the temporary's name within the common 255-byte limit, or a target whose own name is near it
    // could never be written. The cut falls on a character boundary so the name stays valid UTF-8.
    constexpr std::size_t NameMax = 255;
    std::string name = target;
    const std::size_t room = NameMax - 1 - suffix.size();
    if (name.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
    }
    return "." + name + suffix;
}

bool allOf(std::string_view text, int (*test)(int)) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (!test(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

int isHexDigit(int c) {
    return std::isxdigit(c);
}
int isDecimalDigit(int c) {
    return std::isdigit(c);
}

// A temporary of ours that no live writer owns: one named with a process id no longer running, or one of
// the older form without an id that has not been touched for an hour.
bool isStaleTemporary(int folder, const std::string& name) {
    if (name.size() < 8 || name[0] != '.' || !name.ends_with(".tmp")) {
        return false;
    }
    const std::string_view stem(name.data(), name.size() - 4);
    const std::size_t counterDot = stem.rfind('.');
    if (counterDot == std::string_view::npos || !allOf(stem.substr(counterDot + 1), isDecimalDigit)) {
        return false;
    }
    const std::size_t tagDot = stem.rfind('.', counterDot - 1);
    if (tagDot == std::string_view::npos || tagDot == 0) {
        return false;
    }
    const std::string_view tag = stem.substr(tagDot + 1, counterDot - tagDot - 1);
    const std::size_t dash = tag.find('-');
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    if (dash == std::string_view::npos) {
        return tag.size() == 16 && allOf(tag, isHexDigit) && std::time(nullptr) - info.st_mtime > 3600;
    }
    const std::string_view pid = tag.substr(0, dash);
    if (tag.size() - dash - 1 != 16 || !allOf(tag.substr(dash + 1), isHexDigit) || !allOf(pid, isDecimalDigit) ||
        pid.size() > 9) {
        return false;
    }
    const long id = std::stol(std::string(pid));
    return id > 0 && id != ::getpid() && ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

// Once per folder and process: the leftovers of writers that were killed before they could clean up.
void removeStaleTemporaries(int folder) {
    struct stat info {};
    if (::fstat(folder, &info) != 0) {
        return;
    }
    static std::mutex mutex;
    static std::set<std::pair<dev_t, ino_t>> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert({info.st_dev, info.st_ino}).second) {
            return;
        }
    }
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return;
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name.ends_with(".tmp") && isStaleTemporary(folder, name)) {
            stale.push_back(name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : stale) {
        ::unlinkat(folder, name.c_str(), 0);
    }
}

constexpr std::size_t BufferBytes = std::size_t{1} << 16;

std::string cannotCreateIn(int error) {
    return "cannot create a file in its folder: " + systemErrorText(error);
}

}  // namespace

void removeTemporariesUnderWay() noexcept {
    g_ending.store(true);
    // Bounded: the signal may have come to a thread in the middle of its own creation.
    for (int wait = 0; wait < 200 && g_creating.load() != 0; ++wait) {
        const timespec pause{0, 1000000};
        ::nanosleep(&pause, nullptr);
    }
    for (TemporarySlot& slot : g_temporaries) {
        const int folder = slot.folder.load(std::memory_order_acquire);
        if (folder >= 0) {
            ::unlinkat(folder, slot.name, 0);
        }
    }
}

AtomicFileWriter::AtomicFileWriter(fs::path target, std::optional<mode_t> newPermissions) {
    m_name = target.filename().string();
    const fs::path parent = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    m_folder = FileHandle(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder.valid()) {
        m_openError = errno;
        return;
    }
    start(true, newPermissions);
}

AtomicFileWriter::AtomicFileWriter(const FileHandle& folder, std::string name,
                                   std::optional<mode_t> newPermissions)
    : m_folder(::fcntl(folder.fd(), F_DUPFD_CLOEXEC, 0)), m_name(std::move(name)) {
    if (!m_folder.valid()) {
        m_openError = errno;
        return;
    }
    start(true, newPermissions);
}

AtomicFileWriter::AtomicFileWriter(Unbuffered, const FileHandle& folder, std::string name,
                                   std::optional<mode_t> newPermissions)
    : m_folder(::fcntl(folder.fd(), F_DUPFD_CLOEXEC, 0)), m_name(std::move(name)) {
    if (!m_folder.valid()) {
        m_openError = errno;
        return;
    }
    start(false, newPermissions);
}

void AtomicFileWriter::start(bool buffered, std::optional<mode_t> newPermissions) {
    if (m_name.empty() || m_name == "." || m_name == "..") {
        m_refusal = "is a folder";
        return;
    }
    struct stat existing {};
    if (::fstatat(m_folder.fd(), m_name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            m_refusal = "is a folder";
            return;
        }
        if (!S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) {
            m_refusal = "not a regular file";
            return;
        }
        if (S_ISREG(existing.st_mode)) {
            m_keptPermissions = existing.st_mode & 07777;
            if (::geteuid() == 0) {
                m_keptOwner = std::make_pair(existing.st_uid, existing.st_gid);
            }
        }
    }
    removeStaleTemporaries(m_folder.fd());
    m_buffered = buffered;
    m_tempName = temporaryName(m_name);
    // Registered before it exists, so that no moment passes where a signal would leave it behind.
    m_slot = registerTemporary(m_folder.fd(), m_tempName);
    const mode_t mode = m_keptPermissions ? 0600 : (newPermissions ? *newPermissions & 0777 : 0666);
    g_creating.fetch_add(1);
    if (g_ending.load()) {
        errno = EINTR;
    } else {
        m_file = FileHandle(::openat(m_folder.fd(), m_tempName.c_str(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    }
    const int openError = errno;
    g_creating.fetch_sub(1);
    if (!m_file.valid()) {
        m_openError = openError;
        unregisterTemporary(m_slot);
        m_slot = -1;
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!m_committed) {
        discard();
    }
}

void AtomicFileWriter::discard() {
    if (m_file.valid()) {
        m_file = FileHandle();
        ::unlinkat(m_folder.fd(), m_tempName.c_str(), 0);
    }
    unregisterTemporary(m_slot);
    m_slot = -1;
}

void AtomicFileWriter::rawWrite(const std::uint8_t* data, std::size_t size, std::optional<std::uint64_t> offset) {
    while (size > 0 && m_writeError == 0) {
        const ssize_t done = offset ? ::pwrite(m_file.fd(), data, size, static_cast<off_t>(*offset))
                                    : ::write(m_file.fd(), data, size);
        if (done < 0) {
            if (errno != EINTR) {
                m_writeError = errno;
            }
            continue;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
        if (offset) {
            *offset += static_cast<std::uint64_t>(done);
        }
    }
}

bool AtomicFileWriter::flushBuffer() {
    if (!m_buffer.empty()) {
        rawWrite(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }
    return m_writeError == 0;
}

void AtomicFileWriter::write(std::span<const std::uint8_t> bytes) {
    if (!m_file.valid() || m_writeError != 0 || bytes.empty()) {
        return;
    }
    if (!m_buffered || bytes.size() >= BufferBytes) {
        if (flushBuffer()) {
            rawWrite(bytes.data(), bytes.size());
        }
        return;
    }
    if (m_buffer.size() + bytes.size() > BufferBytes) {
        flushBuffer();
    }
    if (m_buffer.capacity() < BufferBytes) {
        m_buffer.reserve(BufferBytes);
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

void AtomicFileWriter::write(const std::string& text) {
    write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Status AtomicFileWriter::writeRestOf(int fd) {
    constexpr std::size_t PieceBytes = std::size_t{1} << 20;
    std::vector<std::uint8_t> piece(PieceBytes);
    for (;;) {
        Result<std::size_t> got = readSome(fd, piece.data(), piece.size());
        if (!got) {
            return got.error();
        }
        write(std::span<const std::uint8_t>(piece.data(), *got));
        if (*got < piece.size()) {
            return {};
        }
    }
}

void AtomicFileWriter::writeAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    if (!m_file.valid() || !flushBuffer()) {
        return;
    }
    rawWrite(bytes.data(), bytes.size(), offset);
}

Status AtomicFileWriter::commit(ReplaceGate* gate) {
    if (!m_refusal.empty()) {
        return outputError(ErrorCode::Io, m_refusal);
    }
    if (!m_file.valid()) {
        return outputError(ErrorCode::Io, cannotCreateIn(m_openError));
    }
    flushBuffer();
    if (m_writeError != 0) {
        const int error = m_writeError;
        discard();
        return outputError(ErrorCode::Io, systemErrorText(error));
    }
    // The replacement keeps the old file's owner and permissions: a private file must not become readable
    // by all, nor a user's file become root's. The owner goes first, as changing it clears set-id bits.
    if (m_keptOwner) {
        if (::fchown(m_file.fd(), m_keptOwner->first, m_keptOwner->second) != 0) {
            const int error = errno;
            discard();
            return outputError(ErrorCode::Io, "its owner cannot be kept: " + systemErrorText(error));
        }
    }
    if (m_keptPermissions) {
        ::fchmod(m_file.fd(), *m_keptPermissions);
    }
    const int descriptor = m_file.release();
    if (::close(descriptor) != 0) {
        const int error = errno;
        ::unlinkat(m_folder.fd(), m_tempName.c_str(), 0);
        unregisterTemporary(m_slot);
        m_slot = -1;
        return outputError(ErrorCode::Io, systemErrorText(error));
    }
    std::unique_lock<std::mutex> gateLock;
    if (gate != nullptr) {
        gateLock = std::unique_lock(gate->mutex);
        if (gate->stop != nullptr && gate->stop->load()) {
            ::unlinkat(m_folder.fd(), m_tempName.c_str(), 0);
            unregisterTemporary(m_slot);
            m_slot = -1;
            return outputError(ErrorCode::Cancelled, "cancelled before it was replaced");
        }
    }
    if (::renameat(m_folder.fd(), m_tempName.c_str(), m_folder.fd(), m_name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(m_folder.fd(), m_tempName.c_str(), 0);
        unregisterTemporary(m_slot);
        m_slot = -1;
        return outputError(ErrorCode::Io, systemErrorText(error));
    }
    unregisterTemporary(m_slot);
    m_slot = -1;
    m_committed = true;
    return {};
}

Status writeFileAtomically(const FileHandle& folder, const std::string& name,
                           std::span<const std::uint8_t> bytes, std::optional<mode_t> newPermissions,
                           ReplaceGate* gate) {
    AtomicFileWriter writer(AtomicFileWriter::Unbuffered{}, folder, name, newPermissions);
    writer.write(bytes);
    return writer.commit(gate);
}

Status writeFileAtomically(const fs::path& target, std::span<const std::uint8_t> bytes,
                           std::optional<mode_t> newPermissions) {
    const fs::path parent = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    FileHandle folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        return outputError(ErrorCode::Io, cannotCreateIn(errno));
    }
    return writeFileAtomically(folder, target.filename().string(), bytes, newPermissions);
}

}  // namespace tarvik
