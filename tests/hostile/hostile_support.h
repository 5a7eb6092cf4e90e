#pragma once

// What the hostile-input tests share: running the built tarvikbmp as a child process with a time limit
// (optionally as an unprivileged user), scratch folders, snapshots of a folder tree, and builders for
// well-formed and damaged files.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace hostile {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// ---- child processes ----

struct RunOptions {
    std::chrono::milliseconds timeout{std::chrono::seconds(120)};
    // Run as the "nobody" user (65534) when the tests run as root, so file permissions apply.
    bool unprivileged = false;
};

struct RunResult {
    int exitCode = -1;      // when the child exited normally
    int signal = 0;         // when a signal ended it
    bool timedOut = false;  // killed by us after the time limit
    std::string execError;  // set when the child could not be started as asked
    std::string out, err;

    bool exited() const { return signal == 0 && !timedOut && execError.empty(); }
};

// A running tarvikbmp. The destructor kills it if it still runs.
class Child {
public:
    Child(const std::vector<std::string>& arguments, const RunOptions& options = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running();
    bool sendSignal(int signal);  // false once the child is reaped
    // Waits for the end (killing the child when the time limit passes) and collects its output.
    RunResult wait();

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_status = 0;
    RunOptions m_options;
    std::chrono::steady_clock::time_point m_started;
    fs::path m_outFile, m_errFile;
    std::string m_execError;
};

RunResult runTool(const std::vector<std::string>& arguments, const RunOptions& options = {});

// True when the tests run as root; such runs need `unprivileged` for permissions to mean anything.
bool runningAsRoot();
// Hands a tree over to the unprivileged user (no-op unless running as root).
void giveToUnprivilegedUser(const fs::path& root);

// Why a result is not what a bad input must give: a non-empty text names the fault.
std::string describe(const RunResult& result);

// ---- scratch folders and trees ----

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

void writeFile(const fs::path& path, const Bytes& bytes);
Bytes readFile(const fs::path& path);

// Every entry below a folder (relative path -> kind and content), links not followed.
struct EntryState {
    char kind = '?';  // 'f' file, 'd' folder, 'l' symbolic link, '?' other
    Bytes content;    // file bytes, or the link's target text
    fs::perms permissions = fs::perms::none;
    bool operator==(const EntryState&) const = default;
};
using TreeSnapshot = std::map<std::string, EntryState>;
TreeSnapshot snapshot(const fs::path& root);

// Differences between two snapshots outside the given folders (relative to the snapshot root); each
// line names one changed, added or removed entry.
std::vector<std::string> changesOutside(const TreeSnapshot& before, const TreeSnapshot& after,
                                        const std::vector<std::string>& allowedFolders);

// Names of leftover temporary files (".name.123.4.tmp") anywhere below a folder.
std::vector<std::string> temporaryLeftovers(const fs::path& root);

// ---- files ----

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A bottom-up bitmap with the usual 54-byte header; pixel(x, y) with y = 0 the bottom row.
Bytes makeBitmap(std::int32_t width, std::int32_t height, int depth,
                 const std::function<Rgba(int x, int y)>& pixel);
// A compressible 32-bit picture: horizontal runs of a few colours, some transparent, some half so.
Bytes spriteBitmap(std::int32_t width, std::int32_t height, unsigned seed);
// A 24-bit picture with far more than 253 colours: never compressible.
Bytes noisyBitmap(std::int32_t width, std::int32_t height, unsigned seed);

void put16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void put32(Bytes& bytes, std::size_t offset, std::int32_t value);

// An RL file from its parts; `palette` holds the entries after the key colour.
Bytes makeRl(std::uint16_t width, std::uint16_t height, const std::vector<std::uint16_t>& palette,
             const std::vector<Bytes>& rows, const std::vector<std::uint8_t>& alphaLevels = {});

// What a correct conversion of these bytes gives (through the codec library).
Bytes expectedCompressed(const Bytes& bitmap);
Bytes expectedDecompressed(const Bytes& rl);

}  // namespace hostile
