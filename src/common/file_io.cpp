#include "file_io.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

namespace tarvik {

namespace fs = std::filesystem;

Status checkIsFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status)) {
        return makeError(ErrorCode::Io, "is a folder");
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return makeError(ErrorCode::Io, "not a regular file");
    }
    return {};
}

Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path, std::uintmax_t maxBytes) {
    if (Status usable = checkIsFile(path); !usable) {
        return usable.error();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return makeError(ErrorCode::Io, "cannot open for reading");
    }
    std::vector<std::uint8_t> bytes;
    // Read in chunks instead of trusting the reported size: pipes and special files report 0.
    constexpr std::size_t ChunkBytes = 1 << 16;
    while (in) {
        std::size_t old = bytes.size();
        if (old + ChunkBytes > maxBytes + ChunkBytes) {
            return makeError(ErrorCode::TooLarge, "file too large");
        }
        bytes.resize(old + ChunkBytes);
        in.read(reinterpret_cast<char*>(bytes.data() + old), ChunkBytes);
        bytes.resize(old + static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return makeError(ErrorCode::Io, "read error");
    }
    if (bytes.size() > maxBytes) {
        return makeError(ErrorCode::TooLarge, "file too large");
    }
    return bytes;
}

namespace {

// Drawn once per process: the counter keeps this process's writers apart, the 64 random bits keep it
// apart from other processes writing in the same folder.
const std::string& processTag() {
    static const std::string tag = [] {
        std::random_device device;
        const std::uint64_t value = (std::uint64_t{device()} << 32) ^ device();
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
        return std::string(text);
    }();
    return tag;
}

fs::path temporaryBeside(const fs::path& target) {
    static std::atomic<std::uint64_t> counter{0};
    std::string suffix = ".";
    suffix += processTag();
    suffix += '.';
    suffix += std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
    suffix += ".tmp";
    // Keep the temporary's name within the common 255-byte limit, or a target whose own name is near it
    // could never be written. The cut falls on a character boundary so the name stays valid UTF-8.
    constexpr std::size_t NameMax = 255;
    std::string name = target.filename().string();
    const std::size_t room = NameMax - 1 - suffix.size();
    if (name.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
    }
    return target.parent_path() / ("." + name + suffix);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target) : AtomicFileWriter(std::move(target), true) {}

AtomicFileWriter::AtomicFileWriter(fs::path target, bool buffered) : m_target(std::move(target)) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(m_target, ec);
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_symlink(status)) {
        m_refusal = fs::is_directory(status) ? "is a folder" : "not a regular file";
        return;
    }
    if (fs::is_regular_file(status)) {
        m_keptPermissions = status.permissions();
    }
    m_temp = temporaryBeside(m_target);
    if (!buffered) {
        m_file.pubsetbuf(nullptr, 0);  // must precede open
    }
    m_file.open(m_temp, std::ios::out | std::ios::binary | std::ios::trunc);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!m_committed) {
        discard();
    }
}

void AtomicFileWriter::discard() {
    if (m_file.is_open()) {
        m_file.close();
        std::error_code ec;
        fs::remove(m_temp, ec);
    }
}

void AtomicFileWriter::write(std::span<const std::uint8_t> bytes) {
    if (m_file.is_open() && !m_writeFailed && !bytes.empty()) {
        const auto count = static_cast<std::streamsize>(bytes.size());
        m_writeFailed = m_file.sputn(reinterpret_cast<const char*>(bytes.data()), count) != count;
    }
}

void AtomicFileWriter::write(const std::string& text) {
    write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Status AtomicFileWriter::commit() {
    if (!m_refusal.empty()) {
        return makeError(ErrorCode::Io, "cannot replace " + m_target.string() + ": " + m_refusal);
    }
    if (!m_file.is_open()) {
        return makeError(ErrorCode::Io, "cannot create a file in " + m_target.parent_path().string());
    }
    // close() flushes what is buffered and fails when that or closing fails.
    if (m_writeFailed || m_file.close() == nullptr) {
        discard();  // closes what a failed write left open
        std::error_code ec;
        fs::remove(m_temp, ec);
        return makeError(ErrorCode::Io, "write failed (disk full?)");
    }
    std::error_code ec;
    // The replacement keeps the old file's permissions: a private file must not become readable by all.
    if (m_keptPermissions) {
        fs::permissions(m_temp, *m_keptPermissions, fs::perm_options::replace, ec);
    }
    fs::rename(m_temp, m_target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(m_temp, ignored);
        return makeError(ErrorCode::Io, "cannot replace " + m_target.string() + ": " + ec.message());
    }
    m_committed = true;
    return {};
}

Status writeFileAtomically(const fs::path& target, std::span<const std::uint8_t> bytes) {
    AtomicFileWriter writer(target, false);
    writer.write(bytes);
    return writer.commit();
}

}  // namespace tarvik
