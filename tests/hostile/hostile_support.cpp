#include "hostile_support.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

#include "image_model.h"

#ifndef TARVIKBMP_EXE
#error "TARVIKBMP_EXE must name the built tarvikbmp"
#endif

namespace hostile {

namespace {

constexpr uid_t UnprivilegedId = 65534;  // "nobody" on Debian

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path scratchFile(const char* stem) {
    std::string pattern = (fs::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        throw std::runtime_error("mkstemp failed");
    }
    close(fd);
    return pattern;
}

}  // namespace

// ---- child processes ----

Child::Child(const std::vector<std::string>& arguments, const RunOptions& options) : m_options(options) {
    m_outFile = scratchFile("hostile-out");
    m_errFile = scratchFile("hostile-err");
    const bool dropPrivileges = options.unprivileged && runningAsRoot();

    std::vector<std::string> argv{TARVIKBMP_EXE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> cArgs;
    for (auto& argument : argv) {
        cArgs.push_back(argument.data());
    }
    cArgs.push_back(nullptr);

    // The child reports a failed set-up or exec through this pipe; a successful exec closes it.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    const int outFd = open(m_outFile.c_str(), O_WRONLY | O_TRUNC);
    const int errFd = open(m_errFile.c_str(), O_WRONLY | O_TRUNC);
    m_started = std::chrono::steady_clock::now();
    m_pid = fork();
    if (m_pid == 0) {
        auto failed = [&](const char* step) {
            const std::string text = std::string(step) + ": " + std::strerror(errno);
            [[maybe_unused]] auto written = write(report[1], text.data(), text.size());
            _exit(127);
        };
        close(report[0]);
        const int nullFd = open("/dev/null", O_RDONLY);
        if (dup2(nullFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) {
            failed("dup2");
        }
        if (dropPrivileges) {
            if (setgroups(0, nullptr) != 0) {
                failed("setgroups");
            }
            if (setgid(UnprivilegedId) != 0) {
                failed("setgid");
            }
            if (setuid(UnprivilegedId) != 0) {
                failed("setuid");
            }
        }
        execv(cArgs[0], cArgs.data());
        failed("exec");
    }
    close(report[1]);
    close(outFd);
    close(errFd);
    char buffer[256];
    const ssize_t got = read(report[0], buffer, sizeof buffer);
    close(report[0]);
    if (got > 0) {
        m_execError.assign(buffer, static_cast<std::size_t>(got));
    }
}

Child::~Child() {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_status, 0);
    }
    std::error_code ec;
    fs::remove(m_outFile, ec);
    fs::remove(m_errFile, ec);
}

bool Child::running() {
    if (m_reaped) {
        return false;
    }
    if (waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
        m_reaped = true;
    }
    return !m_reaped;
}

bool Child::sendSignal(int signal) {
    return !m_reaped && kill(m_pid, signal) == 0;
}

RunResult Child::wait() {
    RunResult result;
    while (running()) {
        if (std::chrono::steady_clock::now() - m_started > m_options.timeout) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &m_status, 0);
            m_reaped = true;
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!result.timedOut) {
        if (WIFEXITED(m_status)) {
            result.exitCode = WEXITSTATUS(m_status);
        } else if (WIFSIGNALED(m_status)) {
            result.signal = WTERMSIG(m_status);
        }
    }
    result.execError = m_execError;
    result.out = slurp(m_outFile);
    result.err = slurp(m_errFile);
    return result;
}

RunResult runTool(const std::vector<std::string>& arguments, const RunOptions& options) {
    Child child(arguments, options);
    return child.wait();
}

bool runningAsRoot() {
    return geteuid() == 0;
}

void giveToUnprivilegedUser(const fs::path& root) {
    if (!runningAsRoot()) {
        return;
    }
    [[maybe_unused]] int ignored = lchown(root.c_str(), UnprivilegedId, UnprivilegedId);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        ignored = lchown(it->path().c_str(), UnprivilegedId, UnprivilegedId);
    }
}

std::string describe(const RunResult& result) {
    if (!result.execError.empty()) {
        return "could not start: " + result.execError;
    }
    if (result.timedOut) {
        return "hung: killed after the time limit";
    }
    if (result.signal != 0) {
        return "ended by signal " + std::to_string(result.signal) + " (" + strsignal(result.signal) +
               "); stderr: " + result.err;
    }
    return "exit " + std::to_string(result.exitCode) + "; stderr: " + result.err;
}

// ---- scratch folders and trees ----

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "tarvik-hostile-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
    // Folders a test made unreadable must be opened up again before they can be removed.
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        ec.clear();
    }
    fs::remove_all(m_path, ec);
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TreeSnapshot snapshot(const fs::path& root) {
    TreeSnapshot result;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        EntryState state;
        const fs::file_status status = it->symlink_status(ec);
        state.permissions = status.permissions();
        if (fs::is_symlink(status)) {
            state.kind = 'l';
            const std::string target = fs::read_symlink(it->path(), ec).string();
            state.content.assign(target.begin(), target.end());
        } else if (fs::is_directory(status)) {
            state.kind = 'd';
        } else if (fs::is_regular_file(status)) {
            state.kind = 'f';
            state.content = readFile(it->path());
        }
        result[it->path().lexically_relative(root).string()] = std::move(state);
        ec.clear();
    }
    return result;
}

std::vector<std::string> changesOutside(const TreeSnapshot& before, const TreeSnapshot& after,
                                        const std::vector<std::string>& allowedFolders) {
    auto allowed = [&](const std::string& path) {
        for (const auto& folder : allowedFolders) {
            if (path == folder || path.starts_with(folder + "/")) {
                return true;
            }
        }
        return false;
    };
    std::vector<std::string> changes;
    for (const auto& [path, state] : before) {
        if (allowed(path)) {
            continue;
        }
        const auto found = after.find(path);
        if (found == after.end()) {
            changes.push_back("removed: " + path);
        } else if (!(found->second == state)) {
            changes.push_back("changed: " + path);
        }
    }
    for (const auto& [path, state] : after) {
        if (!allowed(path) && !before.contains(path)) {
            changes.push_back("added: " + path);
        }
    }
    return changes;
}

std::vector<std::string> temporaryLeftovers(const fs::path& root) {
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(".") && name.ends_with(".tmp")) {
            found.push_back(it->path().lexically_relative(root).string());
        }
    }
    return found;
}

// ---- files ----

void put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(Bytes& bytes, std::size_t offset, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

Bytes makeBitmap(std::int32_t width, std::int32_t height, int depth,
                 const std::function<Rgba(int x, int y)>& pixel) {
    const std::size_t bytesPerPixel = static_cast<std::size_t>(depth / 8);
    const std::size_t stride = static_cast<std::size_t>(width) * bytesPerPixel +
                               (bytesPerPixel == 3 ? static_cast<std::size_t>(width % 4) : 0);
    Bytes bytes(54 + stride * static_cast<std::size_t>(height), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 2, static_cast<std::int32_t>(bytes.size()));
    put32(bytes, 10, 54);
    put32(bytes, 14, 40);
    put32(bytes, 18, width);
    put32(bytes, 22, height);
    put16(bytes, 26, 1);
    put16(bytes, 28, static_cast<std::uint16_t>(depth));
    put32(bytes, 34, static_cast<std::int32_t>(stride * static_cast<std::size_t>(height)));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bytes.data() + 54 + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x, row += bytesPerPixel) {
            const Rgba p = pixel(x, y);
            row[0] = p.b;
            row[1] = p.g;
            row[2] = p.r;
            if (bytesPerPixel == 4) {
                row[3] = p.a;
            }
        }
    }
    return bytes;
}

Bytes spriteBitmap(std::int32_t width, std::int32_t height, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Rgba> colours;
    for (int i = 0; i < 12; ++i) {
        const auto alpha = static_cast<std::uint8_t>(i == 0 ? 0 : i == 1 ? 128 : 255);
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
    return makeBitmap(width, height, 32, [&](int x, int y) {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    });
}

Bytes noisyBitmap(std::int32_t width, std::int32_t height, unsigned seed) {
    std::mt19937 rng(seed);
    return makeBitmap(width, height, 24, [&](int, int) {
        const auto v = rng();
        return Rgba{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                    static_cast<std::uint8_t>(v >> 16), 255};
    });
}

Bytes makeRl(std::uint16_t width, std::uint16_t height, const std::vector<std::uint16_t>& palette,
             const std::vector<Bytes>& rows, const std::vector<std::uint8_t>& alphaLevels) {
    Bytes bytes(12, 0);
    bytes[0] = 'R';
    bytes[1] = 'L';
    put16(bytes, 2, alphaLevels.empty() ? 0 : 1);
    put16(bytes, 4, width);
    put16(bytes, 6, height);
    put16(bytes, 8, static_cast<std::uint16_t>(palette.size() + 1));
    put16(bytes, 10, static_cast<std::uint16_t>(rows.size()));
    auto append16 = [&](std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    append16(0xF81F);
    for (const auto entry : palette) {
        append16(entry);
    }
    if (!alphaLevels.empty()) {
        bytes.push_back(0x20);
        bytes.insert(bytes.end(), alphaLevels.begin(), alphaLevels.end());
    }
    for (const auto& row : rows) {
        bytes.push_back(static_cast<std::uint8_t>(row.size()));
    }
    for (const auto& row : rows) {
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

Bytes expectedCompressed(const Bytes& bitmap) {
    imaging::ImageModel model;
    if (!imaging::decodeBitmap(bitmap, model)) {
        throw std::runtime_error("test bitmap does not load");
    }
    auto encoded = imaging::encodeCompressed(model);
    if (!encoded) {
        throw std::runtime_error("test bitmap does not compress: " + encoded.error().detail);
    }
    return std::move(encoded.value());
}

Bytes expectedDecompressed(const Bytes& rl) {
    imaging::ImageModel model;
    if (!imaging::decodeCompressed(rl, model)) {
        throw std::runtime_error("test RL file does not load");
    }
    auto encoded = imaging::encodeBitmap(model);
    if (!encoded) {
        throw std::runtime_error("test RL file does not decompress: " + encoded.error().detail);
    }
    return std::move(encoded.value());
}

}  // namespace hostile
