#pragma once

// What the hostile-input tests share: the built tarvikbmp run as a child process with a time limit
// (optionally as an unprivileged user, with resource limits), scratch trees and snapshots of a tree.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "conversions.h"

namespace hostile {

using namespace testhelpers;
using testimages::bmpOf;
using testimages::Rgba;
using testimages::rlOf;
using testimages::spriteBitmap;
using testing::HasSubstr;
using Strings = std::vector<std::string>;

inline const Bytes PreviousOutput = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};  // a file that must survive

inline RunResult runTool(const Strings& arguments, const RunOptions& options = {}) {
    return runProgram(TARVIKBMP_EXE, arguments, options);
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
                            : fs::is_regular_file(status) ? readText(it->path())
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

    TempDir root;
    fs::path src = root / "src", bak = root / "bak";
};

}  // namespace hostile
