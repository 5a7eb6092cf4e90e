#pragma once

// Where a list entry lands in the backup folder, and the folders that lead there.

#include <optional>
#include <string>

#include "file_io.h"
#include "result.h"

namespace batch {

// The entry's path with the source folder text cut off its front, starting with a separator
// ("/day/a.bmp"); nullopt when the entry does not lie below the source folder. A source folder that ends
// with a separator (a root) keeps it in the remainder.
std::optional<std::string> pathBelowSource(const std::string& entry, const std::string& sourceFolder);

// The target path of an entry: the path below the source folder appended to the backup folder text as
// given. With source /pictures, backup /out and entry /pictures/day/a.bmp the target is /out/day/a.bmp;
// the name and extension stay the same in both directions. nullopt when the entry is not below the source.
std::optional<std::string> targetPath(const std::string& entry, const std::string& sourceFolder,
                                      const std::string& backupFolder);

// The folder of an entry's target, opened: below the backup folder, outermost first, each subfolder that
// leads to the entry as it lies below the source folder, created when missing and `create` is set. A link
// met on the way below the backup folder is never followed, so a planted link cannot send a write into the
// source tree or anywhere else; it fails the call (Io) with the reason, as a folder that cannot be created
// or a file standing where a folder is needed does.
tarvik::Result<tarvik::FileHandle> openMirrorFolder(const std::string& entry, const std::string& sourceFolder,
                                                    const std::string& backupFolder, bool create);

}  // namespace batch
