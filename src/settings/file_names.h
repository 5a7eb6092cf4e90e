#pragma once

// The language files and flags were named on a file system that ignores case ("french.lng" and
// "French.lng" are one file there). Here names are matched the same way by looking the folder up.

#include <filesystem>
#include <optional>
#include <string_view>

namespace settings {

// The entry of `folder` named `name` without regard to (ASCII) case. An exact match wins; among several
// case variants the first in Windows listing order is taken. Nothing when none exists or the folder
// cannot be read.
std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name);

// `path` itself when it exists, else the case variant of its file name in its folder, if any.
std::optional<std::filesystem::path> resolveIgnoringCase(const std::filesystem::path& path);

}  // namespace settings
