#include "dialog_helpers.h"

#include <algorithm>

#include "ascii_case.h"

namespace viewer {

namespace {

std::vector<std::string> splitPatterns(std::string_view pattern) {
    std::vector<std::string> patterns;
    while (!pattern.empty()) {
        const auto separator = pattern.find_first_of("; ");
        if (separator != 0) {
            patterns.emplace_back(pattern.substr(0, separator));
        }
        if (separator == std::string_view::npos) {
            break;
        }
        pattern.remove_prefix(separator + 1);
    }
    return patterns;
}

std::string joinPatterns(const std::vector<std::string>& patterns) {
    std::string joined;
    for (const auto& p : patterns) {
        joined += (joined.empty() ? "" : " ") + p;
    }
    return joined;
}

}  // namespace

std::vector<FileFilter> prepareFilter(std::string_view filter) {
    std::string text(filter);
    if (!text.ends_with('|')) {
        text.push_back('|');
    }
    std::vector<std::string> parts;
    for (std::string_view rest = text; !rest.empty();) {
        const auto bar = rest.find('|');
        parts.emplace_back(rest.substr(0, bar));
        rest.remove_prefix(bar + 1);
    }
    std::vector<FileFilter> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() || parts[i + 1].empty()) {
            break;
        }
        filters.push_back({parts[i], parts[i + 1]});
    }
    return filters;
}

std::string patternExtension(std::string_view pattern) {
    const auto star = pattern.find('*');
    if (star == std::string_view::npos) {
        return {};
    }
    auto extension = pattern.substr(star + 1);
    extension = extension.substr(0, extension.find_first_of("; "));
    if (extension.size() < 2 || extension.front() != '.' ||
        extension.find_first_of("*?. /", 1) != std::string_view::npos) {
        return {};
    }
    return std::string(extension);
}

std::string dialogNameFilter(const FileFilter& filter) {
    const auto patterns = joinPatterns(splitPatterns(filter.pattern));
    const std::string_view description = filter.description;
    const auto open = description.rfind('(');
    if (description.ends_with(')') && open != std::string_view::npos) {
        const auto inside = description.substr(open + 1, description.size() - open - 2);
        if (joinPatterns(splitPatterns(inside)) == patterns) {
            return filter.description;
        }
    }
    return filter.description + " (" + patterns + ")";
}

std::string completeSaveFileName(std::string_view chosen, std::span<const FileFilter> filters,
                                 int selectedType) {
    if (chosen.empty() || filters.empty()) {
        return std::string(chosen);
    }
    const auto selected =
        static_cast<std::size_t>(std::clamp(selectedType, 1, static_cast<int>(filters.size())));
    for (std::size_t i = 0; i < selected; ++i) {
        const auto extension = patternExtension(filters[i].pattern);
        if (!extension.empty() && tarvik::endsWithIgnoringCase(chosen, extension)) {
            return std::string(chosen);
        }
    }
    return std::string(chosen) + patternExtension(filters[selected - 1].pattern);
}

std::string folderOfPath(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    if (slash == 0) {
        return "/";
    }
    return std::string(path.substr(0, slash));
}

}  // namespace viewer
