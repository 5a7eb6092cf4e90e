#pragma once

// What the hostile-input tests share: the built tarvikbmp run as a child process with a time limit
// (optionally as an unprivileged user, with resource limits), scratch trees, snapshots of a tree, and
// file builders.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "image_model.h"
#include "test_images.h"

namespace hostile {

namespace fs = std::filesystem;
using testhelpers::Bytes;
using testhelpers::readFile;
using testhelpers::writeFile;  // makes the folders it needs
using testimages::Rgba;
using testing::HasSubstr;
using Strings = std::vector<std::string>;

constexpr uid_t UnprivilegedId = 65534;                                   // "nobody" on Debian
inline const Bytes PreviousOutput = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};  // a file that must survive

// A scratch folder; what tests locked inside is opened up again before it is emptied.
struct ScratchDir : testhelpers::TempDir {
    ~ScratchDir() { clear(); }
    void clear() const {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::end(it);
             it.increment(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all,
                            fs::perm_options::add | fs::perm_options::nofollow, ec);
        }
        for (const auto& entry : fs::directory_iterator(path, ec)) {
            fs::remove_all(entry.path(), ec);
        }
    }
};

struct RunOptions {
    std::chrono::milliseconds timeout{std::chrono::seconds(120)};
    bool unprivileged = false;        // as "nobody" when the tests run as root, so file permissions apply
    std::uint64_t memoryLimit = 0;    // bytes of address space (RLIMIT_AS); 0: none
    std::uint64_t fileSizeLimit = 0;  // bytes per file written (RLIMIT_FSIZE, `ulimit -f`); 0: none
    std::string stdoutPath = {};      // the child's standard output goes there instead of being captured
};

struct RunResult {
    int exitCode = -1;      // when the child exited normally (127: it could not be started as asked)
    int signal = 0;         // when a signal ended it
    bool timedOut = false;  // killed by us after the time limit
    std::string out, err;
    bool exited() const { return signal == 0 && !timedOut; }
};

inline std::string describe(const RunResult& result) {
    return (result.timedOut ? "hung: killed after the time limit"
            : result.signal ? "ended by signal " + std::string(strsignal(result.signal))
                            : "exit " + std::to_string(result.exitCode)) +
           "; stderr: " + result.err;
}

// A running tarvikbmp; the destructor kills it if it still runs.
class Child {
public:
    explicit Child(const Strings& arguments, const RunOptions& options = {})
        : m_deadline(std::chrono::steady_clock::now() + options.timeout) {
        const int outFd = options.stdoutPath.empty()
                              ? open((m_output / "out").c_str(), O_WRONLY | O_CREAT, 0600)
                              : open(options.stdoutPath.c_str(), O_WRONLY);
        const int errFd = open((m_output / "err").c_str(), O_WRONLY | O_CREAT, 0600);
        m_pid = fork();
        if (m_pid == 0) {
            std::vector<char*> argv{const_cast<char*>(TARVIKBMP_EXE)};
            for (const auto& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            const bool drop = options.unprivileged && geteuid() == 0;
            auto limit = [](int resource, std::uint64_t bytes) {
                const rlimit value{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
                return bytes == 0 || setrlimit(resource, &value) == 0;
            };
            if (dup2(open("/dev/null", O_RDONLY), 0) == 0 && dup2(outFd, 1) == 1 && dup2(errFd, 2) == 2 &&
                (!drop || (setgroups(0, nullptr) == 0 && setgid(UnprivilegedId) == 0 &&
                           setuid(UnprivilegedId) == 0)) &&
                limit(RLIMIT_AS, options.memoryLimit) && limit(RLIMIT_FSIZE, options.fileSizeLimit)) {
                execv(argv[0], argv.data());
            }
            const std::string text = std::string("cannot start as asked: ") + std::strerror(errno);
            [[maybe_unused]] auto written = write(2, text.data(), text.size());
            _exit(127);
        }
        close(outFd);
        close(errFd);
    }
    ~Child() {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &m_status, 0);
        }
    }
    bool running() {
        m_reaped = m_reaped || waitpid(m_pid, &m_status, WNOHANG) == m_pid;
        return !m_reaped;
    }
    bool sendSignal(int signal) { return !m_reaped && kill(m_pid, signal) == 0; }  // false once reaped
    // Kills the child when the time limit passes.
    RunResult wait() {
        RunResult result;
        for (; running(); std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
            if (std::chrono::steady_clock::now() > m_deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &m_status, 0);
                m_reaped = result.timedOut = true;
            }
        }
        if (!result.timedOut) {
            result.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
            result.signal = WIFSIGNALED(m_status) ? WTERMSIG(m_status) : 0;
        }
        result.out = testhelpers::readText(m_output / "out");
        result.err = testhelpers::readText(m_output / "err");
        return result;
    }

private:
    ScratchDir m_output;
    std::chrono::steady_clock::time_point m_deadline;
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_status = 0;
};

inline RunResult runTool(const Strings& arguments, const RunOptions& options = {}) {
    return Child(arguments, options).wait();
}

// `tarvikbmp ARGS...` must end with exit 1 and a message naming `named`.
inline void expectCleanFailure(const Strings& arguments, const std::string& named,
                               const RunOptions& options = {}) {
    const RunResult result = runTool(arguments, options);
    ASSERT_TRUE(result.exited()) << describe(result);
    EXPECT_EQ(result.exitCode, 1) << describe(result);
    EXPECT_THAT(result.err, HasSubstr(named));
}

// False when running as root without a way to drop to "nobody": permissions then mean nothing.
inline bool permissionsApply() {
    static const bool apply = geteuid() != 0 || runTool({"--version"}, {.unprivileged = true}).exitCode == 0;
    return apply;
}

inline void giveToUnprivilegedUser(const fs::path& root) {  // no-op unless running as root
    if (geteuid() == 0) {
        [[maybe_unused]] int ignored = lchown(root.c_str(), UnprivilegedId, UnprivilegedId);
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            ignored = lchown(entry.path().c_str(), UnprivilegedId, UnprivilegedId);
        }
    }
}

// Every entry below `root` but `skipped` (relative) as kind, permissions and content (or link target).
inline std::map<std::string, std::string> snapshot(const fs::path& root, const std::string& skipped = "") {
    std::map<std::string, std::string> result;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it); it.increment(ec)) {
        const std::string relative = it->path().lexically_relative(root).string();
        if (relative == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        const fs::file_status status = it->symlink_status(ec);
        result[relative] = std::to_string(static_cast<int>(status.type())) + " " +
                           std::to_string(static_cast<int>(status.permissions())) + " " +
                           (fs::is_symlink(status)        ? fs::read_symlink(it->path(), ec).string()
                            : fs::is_regular_file(status) ? testhelpers::readText(it->path())
                                                          : "");
    }
    return result;
}

inline Strings temporaryLeftovers(const fs::path& root) {  // ".name.123.4.tmp" files
    Strings found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".") && name.ends_with(".tmp")) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

inline Bytes with(Bytes bytes, std::size_t offset, std::int64_t value, int size = 4) {
    bytes.resize(std::max(bytes.size(), offset + static_cast<std::size_t>(size)));
    for (int i = 0; i < size; ++i) {
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return bytes;
}

// A compressible 32-bit picture: runs of a few colours, some transparent, some half so.
inline Bytes spriteBitmap(std::int32_t width, std::int32_t height, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Rgba> colours;
    for (int alpha : {0, 128, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}) {
        colours.push_back({static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                           static_cast<int>(rng() % 256), alpha});
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

// An RL file from its parts: no alpha table, the key colour, then `palette`; the rows' code bytes.
inline Bytes makeRl(std::uint16_t width, std::uint16_t height, const std::vector<std::uint16_t>& palette,
                    const std::vector<Bytes>& rows) {
    std::vector<std::size_t> words = {'R' | 'L' << 8,     0,           width, height,
                                      palette.size() + 1, rows.size(), 0xF81F};
    words.insert(words.end(), palette.begin(), palette.end());
    Bytes bytes;
    for (const std::size_t word : words) {
        bytes = with(bytes, bytes.size(), static_cast<std::int64_t>(word), 2);
    }
    for (const auto& row : rows) {
        bytes.push_back(static_cast<std::uint8_t>(row.size()));
    }
    for (const auto& row : rows) {
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

// What a correct conversion gives, through the codec library.
inline Bytes expectedCompressed(const Bytes& bitmap) {
    imaging::ImageModel model;
    EXPECT_TRUE(imaging::decodeBitmap(bitmap, model));
    return imaging::encodeCompressed(model).value();
}
inline Bytes expectedDecompressed(const Bytes& rl) {
    imaging::ImageModel model;
    EXPECT_TRUE(imaging::decodeCompressed(rl, model));
    return imaging::encodeBitmap(model).value();
}

struct NamedBytes {
    std::string name;  // also the file's name, less ".bmp"
    Bytes bytes;
};

// The damaged files every reader must refuse, whichever of its paths (whole file, streaming, header only)
// the command takes: bitmaps, then RL files (named "rl_...").
inline std::vector<NamedBytes> badFiles() {
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

// A scratch tree: `src` holds the entries, `bak` is the backup folder.
class HostileTrees : public testing::Test {
protected:
    // `tarvikbmp batch DIRECTION src bak EXTRA...`, which must end by itself.
    RunResult runBatch(const std::string& direction, const Strings& extra = {},
                       const RunOptions& options = {}) {
        Strings arguments{"batch", direction, src.string(), bak.string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        RunResult result = runTool(arguments, options);
        EXPECT_TRUE(result.exited()) << describe(result);
        return result;
    }
    void expectNoTemporaries() { EXPECT_EQ(temporaryLeftovers(root.path), Strings{}); }
    // Nothing written or changed outside `backup` (relative to the root), no temporary left anywhere.
    void expectUnchangedOutside(const std::string& backup, const std::map<std::string, std::string>& before) {
        EXPECT_EQ(snapshot(root.path, backup), before) << "written outside " << backup;
        expectNoTemporaries();
    }

    ScratchDir root;
    fs::path src = root / "src", bak = root / "bak";
};

}  // namespace hostile
