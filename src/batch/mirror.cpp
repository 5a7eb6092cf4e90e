#include "mirror.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "file_search.h"

namespace batch {

namespace fs = std::filesystem;

std::optional<std::string> pathBelowSource(const std::string& entry, const std::string& sourceFolder) {
    if (entry.size() <= sourceFolder.size() || entry.compare(0, sourceFolder.size(), sourceFolder) != 0) {
        return std::nullopt;
    }
    if (!sourceFolder.empty() && isPathSeparator(sourceFolder.back())) {
        return sourceFolder.back() + entry.substr(sourceFolder.size());
    }
    // "/pictures2/a.bmp" starts with "/pictures" but does not lie below it.
    if (!isPathSeparator(entry[sourceFolder.size()])) {
        return std::nullopt;
    }
    return entry.substr(sourceFolder.size());
}

std::optional<std::string> targetPath(const std::string& entry, const std::string& sourceFolder,
                                      const std::string& backupFolder) {
    std::optional<std::string> below = pathBelowSource(entry, sourceFolder);
    if (!below) {
        return std::nullopt;
    }
    return backupFolder + *below;
}

tarvik::Result<tarvik::FileHandle> openMirrorFolder(const std::string& entry, const std::string& sourceFolder,
                                                    const std::string& backupFolder, bool create) {
    std::optional<std::string> below = pathBelowSource(entry, sourceFolder);
    if (!below) {
        return tarvik::makeError(tarvik::ErrorCode::Io, "does not lie below " + sourceFolder);
    }
    std::vector<std::string> folders;
    std::size_t start = 1;  // past the separator that follows the source folder
    for (;;) {
        std::size_t end = start;
        while (end < below->size() && !isPathSeparator((*below)[end])) {
            ++end;
        }
        if (end >= below->size()) {
            break;  // the last piece is the file name
        }
        if (end > start) {
            folders.push_back(below->substr(start, end - start));
        }
        start = end + 1;
    }
    return tarvik::openFolderBelow(fs::path(backupFolder.empty() ? std::string(".") : backupFolder), folders,
                                   create);
}

}  // namespace batch
