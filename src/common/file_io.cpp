#include "file_io.h"

#include <atomic>
#include <random>
#include <system_error>

namespace tarvik {

namespace fs = std::filesystem;

Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return makeError(ErrorCode::Io, "is a folder");
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

fs::path temporaryBeside(const fs::path& target) {
    // Unique per process and call, so parallel writers in one folder never share a temporary.
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 rng{std::random_device{}()};
    std::string name = "." + target.filename().string() + "." + std::to_string(rng() % 1000000) + "." +
                       std::to_string(counter.fetch_add(1)) + ".tmp";
    return target.parent_path() / name;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target) : m_target(std::move(target)) {
    m_temp = temporaryBeside(m_target);
    m_stream.open(m_temp, std::ios::binary | std::ios::trunc);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!m_committed) {
        if (m_stream.is_open()) {
            m_stream.close();
        }
        std::error_code ec;
        fs::remove(m_temp, ec);
    }
}

void AtomicFileWriter::write(std::span<const std::uint8_t> bytes) {
    if (m_stream.is_open()) {
        m_stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
}

void AtomicFileWriter::write(const std::string& text) {
    if (m_stream.is_open()) {
        m_stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
}

Status AtomicFileWriter::commit() {
    if (!m_stream.is_open()) {
        return makeError(ErrorCode::Io, "cannot create a file in " + m_target.parent_path().string());
    }
    m_stream.flush();
    bool good = m_stream.good();
    m_stream.close();
    if (!good || m_stream.fail()) {
        std::error_code ec;
        fs::remove(m_temp, ec);
        return makeError(ErrorCode::Io, "write failed (disk full?)");
    }
    std::error_code ec;
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
    AtomicFileWriter writer(target);
    writer.write(bytes);
    return writer.commit();
}

}  // namespace tarvik
