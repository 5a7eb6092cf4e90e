#include "file_names.h"

#include <string>
#include <system_error>

#include "text_utils.h"

namespace settings {

namespace fs = std::filesystem;

std::optional<fs::path> findIgnoringCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    const auto dir = folder.empty() ? fs::path(".") : folder;
    if (fs::exists(dir / fs::path(std::string(name)), ec)) {
        return folder / fs::path(std::string(name));
    }
    std::optional<std::string> best;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const auto entryName = it->path().filename().string();
        if (equalsIgnoringCase(entryName, name) && (!best || lessIgnoringCase(entryName, *best))) {
            best = entryName;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return folder / *best;
}

std::optional<fs::path> resolveIgnoringCase(const fs::path& path) {
    if (!path.has_filename()) {
        return std::nullopt;
    }
    return findIgnoringCase(path.parent_path(), path.filename().string());
}

}  // namespace settings
