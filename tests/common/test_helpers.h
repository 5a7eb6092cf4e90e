#pragma once

// Scratch folders, whole files, child processes and runs of the built program, for every test folder.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testhelpers {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

inline Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::string readText(const fs::path& path) {
    const Bytes bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}
// Makes the folders on the way.
inline void writeFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
inline void writeFile(const fs::path& path, const Bytes& bytes) {
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// A fresh folder under the system temporary folder, removed with everything in it; what a test locked
// inside is opened up again first.
struct TempDir {
    fs::path path = fs::temp_directory_path() / ("tarvik-test-" + std::to_string(std::random_device{}()) +
                                                 std::to_string(std::random_device{}()));
    TempDir() {
        fs::create_directories(path);
        fs::permissions(path, fs::perms::all);  // some cases run as "nobody" inside
    }
    ~TempDir() {
        clear();
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    fs::path operator/(const std::string& name) const { return path / name; }
    // Files left in the folder: a failed or refused write must leave no temporary behind.
    std::size_t entryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {}));
    }
    // Empties the folder.
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

// The exit status of fn run in a forked child; -1 when it did not exit normally.
inline int inChild(const std::function<int()>& fn) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(fn());
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// AddressSanitizer reserves terabytes of address space up front, so a limit on it (RLIMIT_AS) cannot
// simulate a short memory there.
inline bool addressSpaceLimitsApply() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return true;
#endif
}

// A full disk, even for root: the child may write no more than a few bytes to any file, and a longer write
// is refused instead of killing the process.
inline int inChildWithFullDisk(const std::function<int()>& fn) {
    return inChild([&fn] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return fn();
    });
}

constexpr uid_t UnprivilegedId = 65534;  // "nobody" on Debian

// Becomes "nobody" when running as root, so that file permissions bite; false when that fails.
inline bool dropRootPrivileges() {
    return ::geteuid() != 0 ||
           (::setgroups(0, nullptr) == 0 && ::setgid(UnprivilegedId) == 0 && ::setuid(UnprivilegedId) == 0);
}

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
using Ran = RunResult;

inline std::string describe(const RunResult& result) {
    return (result.timedOut ? "hung: killed after the time limit"
            : result.signal ? "ended by signal " + std::string(strsignal(result.signal))
                            : "exit " + std::to_string(result.exitCode)) +
           "; stderr: " + result.err;
}

// A running program, given its arguments unchanged and nothing on its standard input; the destructor kills
// it if it still runs.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& arguments,
          const RunOptions& options = {})
        : m_deadline(std::chrono::steady_clock::now() + options.timeout) {
        const int outFd = options.stdoutPath.empty()
                              ? ::open((m_output / "out").c_str(), O_WRONLY | O_CREAT, 0600)
                              : ::open(options.stdoutPath.c_str(), O_WRONLY);
        const int errFd = ::open((m_output / "err").c_str(), O_WRONLY | O_CREAT, 0600);
        m_pid = ::fork();
        if (m_pid == 0) {
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            auto limit = [](int resource, std::uint64_t bytes) {
                const rlimit value{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
                return bytes == 0 || ::setrlimit(resource, &value) == 0;
            };
            if (::dup2(::open("/dev/null", O_RDONLY), 0) == 0 && ::dup2(outFd, 1) == 1 &&
                ::dup2(errFd, 2) == 2 && (!options.unprivileged || dropRootPrivileges()) &&
                limit(RLIMIT_AS, options.memoryLimit) && limit(RLIMIT_FSIZE, options.fileSizeLimit)) {
                ::execvp(argv[0], argv.data());
            }
            const std::string text = std::string("cannot start as asked: ") + std::strerror(errno);
            [[maybe_unused]] auto written = ::write(2, text.data(), text.size());
            ::_exit(127);
        }
        ::close(outFd);
        ::close(errFd);
    }
    ~Child() {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &m_status, 0);
        }
    }
    bool running() {
        m_reaped = m_reaped || ::waitpid(m_pid, &m_status, WNOHANG) == m_pid;
        return !m_reaped;
    }
    bool sendSignal(int signal) { return !m_reaped && ::kill(m_pid, signal) == 0; }  // false once reaped
    // Kills the child when the time limit passes.
    RunResult wait() {
        RunResult result;
        for (; running(); std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
            if (std::chrono::steady_clock::now() > m_deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &m_status, 0);
                m_reaped = result.timedOut = true;
            }
        }
        if (!result.timedOut) {
            result.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
            result.signal = WIFSIGNALED(m_status) ? WTERMSIG(m_status) : 0;
        }
        result.out = readText(m_output / "out");
        result.err = readText(m_output / "err");
        return result;
    }

private:
    TempDir m_output;
    std::chrono::steady_clock::time_point m_deadline;
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_status = 0;
};

// Runs a program (found on PATH when the name has no slash) to its end and collects its output.
inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const RunOptions& options = {}) {
    return Child(program, args, options).wait();
}

}  // namespace testhelpers
