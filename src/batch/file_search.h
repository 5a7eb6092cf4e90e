#pragma once

// Listing the files of a folder tree, and the two small file tests the batch tabs rely on.
// Paths are texts: a list entry is the folder text, one separator and the file name as the file system
// reports it, so the target path rule can cut the source folder text off its front.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace batch {

// The separator used when composing paths ('/' here, '\\' on Windows).
char pathSeparator();

// True for '/' and for the platform's own separator.
bool isPathSeparator(char c);

// From the last "." of the name to its end, dot included (".bmp"); the whole name when it holds no dot.
std::string FileExtension(std::string_view name);

// The pattern test of the folder search: an empty pattern matches nothing, "*.*" everything; otherwise the
// name's extension, lower-cased, must occur anywhere inside the lower-cased pattern. With "*.bmp" that lists
// a.BMP, a.b, a.bm, "a." and a file named "bmp", but not a.bmpx, a.mp or a.p.
bool matchesPattern(std::string_view name, std::string_view pattern);

// A folder the search could not list (no permission, a path over the system's limit, an I/O error): its
// files are missing from the list, which a run must not pass over in silence.
struct UnlistedFolder {
    std::string folder;
    std::string reason;
};

struct Listing {
    std::vector<std::string> files;
    std::vector<UnlistedFolder> unlisted;
};

// Every matching file below the folder, depth first: a subfolder's files come at the point where the
// subfolder is met. Within a folder, entries come in name order without regard to case (upper-case
// folding, the order NTFS keeps its folders in). Hidden files are listed; links to files are listed like
// files; links to folders are not followed, so a link loop cannot hang the search; a folder that cannot be
// read is named in `unlisted` and the search goes on. Devices, pipes and sockets are never listed: opening a
// pipe would block the run that reads the list. A subfolder that is `leftOut` (the backup folder, when it
// lies inside the source) is not entered: a run would otherwise convert or copy its own earlier output.
Listing ListFiles(const std::string& folder, std::string_view pattern, bool includeSubfolders,
                  const std::string& leftOut = {});
// The files alone.
std::vector<std::string> FindFiles(const std::string& folder, std::string_view pattern,
                                   bool includeSubfolders);

// True when a file or folder exists at exactly that path. "" and any path ending with a separator give
// false, as a drive or file-system root does.
bool PathExists(const std::string& path);
// The same test, handing back what it found, so callers need not ask the file system twice.
bool PathExists(const std::string& path, std::filesystem::file_status& status);

}  // namespace batch
