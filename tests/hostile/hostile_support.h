#pragma once

// What the hostile-input tests share: running the built tarvikbmp as a child process with a time limit
// (optionally as an unprivileged user), scratch folders, snapshots of a tree, and file builders.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "test_images.h"

namespace hostile {

namespace fs = std::filesystem;
using testhelpers::Bytes;
using testhelpers::readFile;
using testhelpers::writeFile;  // makes the folders it needs
using testimages::Rgba;

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return m_path; }
    fs::path operator/(const fs::path& relative) const { return m_path / relative; }

private:
    fs::path m_path;
};

struct RunOptions {
    std::chrono::milliseconds timeout{std::chrono::seconds(120)};
    bool unprivileged = false;  // as "nobody" when the tests run as root, so file permissions apply
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

// A running tarvikbmp; the destructor kills it if it still runs.
class Child {
public:
    explicit Child(const std::vector<std::string>& arguments, const RunOptions& options = {});
    ~Child();
    bool running();
    bool sendSignal(int signal);  // false once the child is reaped
    RunResult wait();             // kills the child when the time limit passes

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_status = 0;
    std::chrono::steady_clock::time_point m_deadline;
    ScratchDir m_output;
};

RunResult runTool(const std::vector<std::string>& arguments, const RunOptions& options = {});
std::string describe(const RunResult& result);
// `tarvikbmp ARGS...` must end with exit 1 and a message naming `named`.
void expectCleanFailure(const std::vector<std::string>& arguments, const std::string& named,
                        const RunOptions& options = {});

// False when running as root without a way to drop to "nobody": permissions then mean nothing.
bool permissionsApply();
void giveToUnprivilegedUser(const fs::path& root);  // no-op unless running as root

// Every entry below `root` but `skipped` (relative) as kind, permissions and a hash of the content.
std::map<std::string, std::string> snapshot(const fs::path& root, const std::string& skipped = "");
std::vector<std::string> temporaryLeftovers(const fs::path& root);  // ".name.123.4.tmp" files

// A compressible 32-bit picture: runs of a few colours, some transparent, some half so.
Bytes spriteBitmap(std::int32_t width, std::int32_t height, unsigned seed);
void put(Bytes& bytes, std::size_t offset, std::uint32_t value, int size = 4);
// An RL file from its parts; `palette` holds the entries after the key colour.
Bytes makeRl(std::uint16_t width, std::uint16_t height, const std::vector<std::uint16_t>& palette,
             const std::vector<Bytes>& rows);
// What a correct conversion gives, through the codec library.
Bytes expectedConversion(const Bytes& file, bool compress);
inline Bytes expectedCompressed(const Bytes& bitmap) {
    return expectedConversion(bitmap, true);
}
inline Bytes expectedDecompressed(const Bytes& rl) {
    return expectedConversion(rl, false);
}

struct NamedBytes {
    std::string name;  // also the file's name, less ".bmp"
    Bytes bytes;
};
// Files no reader may accept: bitmaps, then RL files (named "rl_...").
std::vector<NamedBytes> badFiles();

}  // namespace hostile
