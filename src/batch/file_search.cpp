#include "file_search.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <filesystem>
#include <system_error>

#include "ascii_case.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

bool matchesLoweredPattern(std::string_view name, std::string_view pattern,
                           const std::string& loweredPattern) {
    if (pattern.empty()) {
        return false;
    }
    if (pattern == "*.*") {
        return true;
    }
    return loweredPattern.find(tarvik::toLowerAscii(FileExtension(name))) != std::string::npos;
}

struct FolderItem {
    std::string name;
    bool isFolder = false;
};

struct Search {
    std::string_view pattern;
    std::string loweredPattern;
    bool includeSubfolders = false;
    std::optional<std::pair<dev_t, ino_t>> leftOut;
    Listing listing;
};

std::optional<std::pair<dev_t, ino_t>> identity(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return std::make_pair(info.st_dev, info.st_ino);
}

// Lists one folder's files and real subfolders. Links to folders are dropped (never followed), as are
// broken links and anything that is neither a file nor a folder. A folder that cannot be read, or not to
// its end, is named with the reason.
std::vector<FolderItem> readFolder(const std::string& folder, std::vector<UnlistedFolder>& unlisted) {
    std::vector<FolderItem> items;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) {
        unlisted.push_back({folder, ec.message()});
        return items;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            unlisted.push_back({folder, ec.message()});
            break;
        }
        // The entry's own type comes with the listing; only links cost a look at their target.
        std::error_code typeError;
        bool isFolder = false;
        if (it->is_symlink(typeError)) {
            if (!fs::is_regular_file(it->status(typeError)) || typeError) {
                continue;
            }
        } else if (it->is_directory(typeError)) {
            isFolder = true;
        } else if (typeError || !it->is_regular_file(typeError) || typeError) {
            continue;
        }
        items.push_back({it->path().filename().string(), isFolder});
    }
    // Upper-case folding, not lower-case: "_" sorts after letters in the order the window's users know.
    std::sort(items.begin(), items.end(),
              [](const FolderItem& a, const FolderItem& b) { return tarvik::lessIgnoringCase(a.name, b.name); });
    return items;
}

void search(Search& how, std::string folder) {
    if (folder.empty() || !isPathSeparator(folder.back())) {
        folder += pathSeparator();
    }
    for (const FolderItem& item : readFolder(folder, how.listing.unlisted)) {
        if (item.isFolder) {
            if (how.includeSubfolders && !(how.leftOut && identity(folder + item.name) == how.leftOut)) {
                search(how, folder + item.name);
            }
        } else if (matchesLoweredPattern(item.name, how.pattern, how.loweredPattern)) {
            how.listing.files.push_back(folder + item.name);
        }
    }
}

}  // namespace

char pathSeparator() {
    return static_cast<char>(fs::path::preferred_separator);
}

bool isPathSeparator(char c) {
    return c == '/' || c == pathSeparator();
}

std::string FileExtension(std::string_view name) {
    std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(dot));
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
    return matchesLoweredPattern(name, pattern, tarvik::toLowerAscii(pattern));
}

Listing ListFiles(const std::string& folder, std::string_view pattern, bool includeSubfolders,
                  const std::string& leftOut) {
    Search how{pattern, tarvik::toLowerAscii(pattern), includeSubfolders, identity(leftOut), {}};
    search(how, folder);
    return std::move(how.listing);
}

std::vector<std::string> FindFiles(const std::string& folder, std::string_view pattern,
                                   bool includeSubfolders) {
    return ListFiles(folder, pattern, includeSubfolders).files;
}

bool PathExists(const std::string& path) {
    fs::file_status status;
    return PathExists(path, status);
}

bool PathExists(const std::string& path, fs::file_status& status) {
    if (path.empty() || isPathSeparator(path.back())) {
        status = fs::file_status(fs::file_type::not_found);
        return false;
    }
    std::error_code ec;
    status = fs::status(fs::path(path), ec);
    return fs::exists(status);
}

}  // namespace batch
