#include "mirror.h"

#include <filesystem>
#include <system_error>

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

tarvik::Status CreateMirrorFolders(const std::string& entry, const std::string& sourceFolder,
                                   const std::string& backupFolder) {
    std::optional<std::string> below = pathBelowSource(entry, sourceFolder);
    if (!below) {
        return tarvik::makeError(tarvik::ErrorCode::Io, entry + " does not lie below " + sourceFolder);
    }
    std::string folder = backupFolder;
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
            folder += pathSeparator();
            folder.append(*below, start, end - start);
            fs::file_status status;
            if (!PathExists(folder, status)) {
                std::error_code ec;
                fs::create_directory(fs::path(folder), ec);
                if (ec) {
                    return tarvik::makeError(tarvik::ErrorCode::Io, folder + ": " + ec.message());
                }
            } else if (!fs::is_directory(status)) {
                return tarvik::makeError(tarvik::ErrorCode::Io, folder + ": a file has that name");
            }
        }
        start = end + 1;
    }
    return {};
}

}  // namespace batch
