#include "hostile_support.h"

#include <sys/resource.h>

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "image_model.h"

#ifndef TARVIKBMP_EXE
#error "TARVIKBMP_EXE must name the built tarvikbmp"
#endif

namespace hostile {

namespace {

constexpr uid_t UnprivilegedId = 65534;  // "nobody" on Debian

Bytes with(Bytes bytes, std::size_t offset, std::int64_t value, int size = 4) {
    put(bytes, offset, static_cast<std::uint32_t>(value), size);
    return bytes;
}

}  // namespace

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "tarvik-hostile-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
    // Folders a test locked must be opened up again before they can be removed.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::end(it); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow,
                        ec);
    }
    fs::remove_all(m_path, ec);
}

Child::Child(const std::vector<std::string>& arguments, const RunOptions& options) {
    const bool dropPrivileges = options.unprivileged && geteuid() == 0;
    const int outFd = options.stdoutPath.empty() ? open((m_output / "out").c_str(), O_WRONLY | O_CREAT, 0600)
                                                 : open(options.stdoutPath.c_str(), O_WRONLY);
    const int errFd = open((m_output / "err").c_str(), O_WRONLY | O_CREAT, 0600);
    m_deadline = std::chrono::steady_clock::now() + options.timeout;
    m_pid = fork();
    if (m_pid == 0) {
        std::vector<char*> argv{const_cast<char*>(TARVIKBMP_EXE)};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        const int nullFd = open("/dev/null", O_RDONLY);
        const bool ready = dup2(nullFd, 0) == 0 && dup2(outFd, 1) == 1 && dup2(errFd, 2) == 2 &&
                           (!dropPrivileges || (setgroups(0, nullptr) == 0 && setgid(UnprivilegedId) == 0 &&
                                                setuid(UnprivilegedId) == 0));
        auto limit = [](int resource, std::uint64_t bytes) {
            const rlimit value{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
            return bytes == 0 || setrlimit(resource, &value) == 0;
        };
        if (ready && limit(RLIMIT_AS, options.memoryLimit) && limit(RLIMIT_FSIZE, options.fileSizeLimit)) {
            execv(argv[0], argv.data());
        }
        const std::string text = std::string("cannot start as asked: ") + std::strerror(errno);
        [[maybe_unused]] auto written = write(2, text.data(), text.size());
        _exit(127);
    }
    close(outFd);
    close(errFd);
}

Child::~Child() {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_status, 0);
    }
}

bool Child::running() {
    m_reaped = m_reaped || waitpid(m_pid, &m_status, WNOHANG) == m_pid;
    return !m_reaped;
}

bool Child::sendSignal(int signal) {
    return !m_reaped && kill(m_pid, signal) == 0;
}

RunResult Child::wait() {
    RunResult result;
    while (running()) {
        if (std::chrono::steady_clock::now() > m_deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &m_status, 0);
            m_reaped = result.timedOut = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!result.timedOut) {
        result.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
        result.signal = WIFSIGNALED(m_status) ? WTERMSIG(m_status) : 0;
    }
    const Bytes out = fs::exists(m_output / "out") ? readFile(m_output / "out") : Bytes{}, err = readFile(m_output / "err");
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

RunResult runTool(const std::vector<std::string>& arguments, const RunOptions& options) {
    return Child(arguments, options).wait();
}

std::string describe(const RunResult& result) {
    return (result.timedOut ? "hung: killed after the time limit"
            : result.signal ? "ended by signal " + std::string(strsignal(result.signal))
                            : "exit " + std::to_string(result.exitCode)) +
           "; stderr: " + result.err;
}

void expectCleanFailure(const std::vector<std::string>& arguments, const std::string& named,
                        const RunOptions& options) {
    const RunResult result = runTool(arguments, options);
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 1) << describe(result);
    EXPECT_NE(result.err.find(named), std::string::npos)
        << "message does not name " << named << ": " << result.err;
}

bool permissionsApply() {
    static const bool apply = geteuid() != 0 || runTool({"--version"}, {.unprivileged = true}).exitCode == 0;
    return apply;
}

void giveToUnprivilegedUser(const fs::path& root) {
    if (geteuid() != 0) {
        return;
    }
    [[maybe_unused]] int ignored = lchown(root.c_str(), UnprivilegedId, UnprivilegedId);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        ignored = lchown(entry.path().c_str(), UnprivilegedId, UnprivilegedId);
    }
}

std::map<std::string, std::string> snapshot(const fs::path& root, const std::string& skipped) {
    std::map<std::string, std::string> result;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it); it.increment(ec)) {
        const std::string relative = it->path().lexically_relative(root).string();
        if (relative == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        const fs::file_status status = it->symlink_status(ec);
        std::string& state = result[relative];
        state = std::to_string(static_cast<int>(status.type())) + " " +
                std::to_string(static_cast<int>(status.permissions())) + " ";
        if (fs::is_symlink(status)) {
            state += fs::read_symlink(it->path(), ec).string();
        } else if (fs::is_regular_file(status)) {
            const Bytes content = readFile(it->path());
            state += std::to_string(std::hash<std::string_view>{}(
                std::string_view(reinterpret_cast<const char*>(content.data()), content.size())));
        }
    }
    return result;
}

std::vector<std::string> temporaryLeftovers(const fs::path& root) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".") && name.ends_with(".tmp")) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

void put(Bytes& bytes, std::size_t offset, std::uint32_t value, int size) {
    bytes.resize(std::max(bytes.size(), offset + static_cast<std::size_t>(size)));
    for (int i = 0; i < size; ++i) {
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

Bytes spriteBitmap(std::int32_t width, std::int32_t height, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Rgba> colours;
    for (std::uint8_t alpha : {0, 128, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}) {
        colours.push_back({static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                           static_cast<std::uint8_t>(rng()), alpha});
    }
    // Runs of 20 to 80 pixels keep every row's codes far below 255 bytes.
    std::vector<Rgba> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < pixels.size();) {
        const Rgba colour = colours[rng() % colours.size()];
        for (std::size_t n = 20 + rng() % 61; n > 0 && i < pixels.size(); --n) {
            pixels[i++] = colour;
        }
    }
    return testimages::makeBitmap(width, height, pixels);
}

Bytes makeRl(std::uint16_t width, std::uint16_t height, const std::vector<std::uint16_t>& palette,
             const std::vector<Bytes>& rows) {
    // Signature, no alpha table, size, palette count with the key colour, row count, the key colour.
    std::vector<std::size_t> words = {'R' | 'L' << 8, 0, width, height, palette.size() + 1, rows.size()};
    words.push_back(0xF81F);
    words.insert(words.end(), palette.begin(), palette.end());
    Bytes bytes;
    for (const std::size_t word : words) {
        put(bytes, bytes.size(), static_cast<std::uint32_t>(word), 2);
    }
    for (const auto& row : rows) {
        bytes.push_back(static_cast<std::uint8_t>(row.size()));
    }
    for (const auto& row : rows) {
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

Bytes expectedConversion(const Bytes& file, bool compress) {
    imaging::ImageModel model;
    if (!(compress ? imaging::decodeBitmap(file, model) : imaging::decodeCompressed(file, model))) {
        throw std::runtime_error("test file does not load");
    }
    return (compress ? imaging::encodeCompressed(model) : imaging::encodeBitmap(model)).value();
}

// The damaged files every reader must refuse, whichever of its paths (whole file, streaming, header
// only) the command takes.
std::vector<NamedBytes> badFiles() {
    const Bytes good = spriteBitmap(4, 4, 7);  // 32-bit, 54 + 64 bytes
    // A header alone, declaring a picture whose pixels are not there.
    Bytes header = testimages::makeBitmap(1, 1, {Rgba{}});
    header.resize(54 + 64, 0x5A);
    std::vector<NamedBytes> files = {
        {"empty", {}},
        {"one_byte", {'B'}},
        {"two_bytes", {'B', 'M'}},
        {"header_53_bytes", Bytes(good.begin(), good.begin() + 53)},
        {"size_65535x65535", with(with(header, 18, 65535), 22, 65535)},
        {"size_65536x65536_wraps_to_0", with(with(header, 18, 65536), 22, 65536)},
        {"width_int_max", with(header, 18, INT_MAX)},
        {"width_negative", with(good, 18, -4)},
        {"height_int_min", with(good, 22, INT_MIN)},
        {"height_negative_truncated", with(good, 22, -5)},
        {"offset_past_end", with(good, 10, 100000)},
        {"offset_negative", with(good, 10, -100)},
        {"offset_int_max", with(good, 10, INT_MAX)},
        {"pixels_truncated", Bytes(good.begin(), good.end() - 5)},
    };
    for (const int depth : {0, 1, 4, 8, 16, 64}) {
        files.push_back({"depth_" + std::to_string(depth), with(good, 28, depth, 2)});
    }
    // RL files, named "rl_...".
    const std::vector<std::uint16_t> redBlue = {0xF800, 0x001F};
    const Bytes rl = makeRl(4, 1, redBlue, {{0xFE, 1, 4}});
    Bytes rowDataMissing = makeRl(200, 1, redBlue, {Bytes(200, 1)});
    rowDataMissing.resize(rowDataMissing.size() - 150);
    files.insert(files.end(),
                 {
                     {"rl_two_bytes", {'R', 'L'}},
                     {"rl_header_11_bytes", Bytes(rl.begin(), rl.begin() + 11)},
                     // No palette at all, not even the key entry, and a code naming entry 1.
                     {"rl_palette_count_0_names_entry_1", {'R', 'L', 0, 0, 2, 0, 1, 0, 0, 0, 1, 0, 2, 1, 1}},
                     {"rl_palette_count_65535", with(rl, 8, 65535, 2)},
                     {"rl_size_65535x65535", with(with(rl, 4, 65535, 2), 6, 65535, 2)},
                     {"rl_row_table_longer_than_file", with(rl, 10, 1000, 2)},
                     {"rl_row_data_missing", rowDataMissing},
                     {"rl_rows_decode_past_image", makeRl(2, 2, redBlue, {{0xFE, 1, 200}, {}})},
                     {"rl_run_code_crosses_row_end", makeRl(4, 2, redBlue, {{0xFE, 1}, {4, 0, 2, 2, 2}})},
                     {"rl_index_past_palette", makeRl(4, 1, redBlue, {{1, 2, 9, 1}})},
                     {"rl_run_index_past_palette", makeRl(4, 1, redBlue, {{0xFE, 0x40, 4}})},
                 });
    return files;
}

}  // namespace hostile
