#pragma once

// Scratch folders, whole files, child processes and runs of the built program, for every test folder.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
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

// A fresh folder under the system temporary folder, removed with everything in it.
struct TempDir {
    fs::path path = fs::temp_directory_path() / ("tarvik-test-" + std::to_string(std::random_device{}()) +
                                                 std::to_string(std::random_device{}()));
    TempDir() {
        fs::create_directories(path);
        fs::permissions(path, fs::perms::all);  // some cases run as "nobody" inside
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    fs::path operator/(const std::string& name) const { return path / name; }
    // Files left in the folder: a failed or refused write must leave no temporary behind.
    std::size_t entryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {}));
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

// A full disk, even for root: the child may write no more than a few bytes to any file, and a longer write
// is refused instead of killing the process.
// AddressSanitizer reserves terabytes of address space up front, so a limit on it (RLIMIT_AS) cannot
// simulate a short memory there.
inline bool addressSpaceLimitsApply() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return true;
#endif
}

inline int inChildWithFullDisk(const std::function<int()>& fn) {
    return inChild([&fn] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return fn();
    });
}

struct Ran {
    int exitCode = -1;
    std::string out, err;
};

// Runs a program with these arguments, passed unchanged whatever they hold, and collects its output.
inline Ran runProgram(const std::string& program, const std::vector<std::string>& args) {
    auto quoted = [](const std::string& text) {
        std::string out = "'";
        for (char c : text) {
            c == '\'' ? out += "'\\''" : out += c;
        }
        return out += '\'';
    };
    const TempDir io;
    // Appended piece by piece: "literal" + string makes GCC 12 warn falsely (-Wrestrict) in Release.
    std::string command = quoted(program);
    for (const std::string& arg : args) {
        (command += ' ') += quoted(arg);
    }
    ((command += " >") += quoted((io / "out").string())) += " 2>";
    command += quoted((io / "err").string());
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(io / "out"), readText(io / "err")};
}

}  // namespace testhelpers
