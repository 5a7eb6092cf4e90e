#pragma once

// Reading and writing one value of a settings file in the Windows profile format:
//
//   [Section]
//   Key=Value
//
// The file is never kept in memory: every call reads (and for a write, rewrites) the whole file, so
// two windows of the program never see stale values.

#include <filesystem>
#include <string>
#include <string_view>

#include "result.h"

namespace settings {

// Longest value a read hands back. A longer value is cut rather than refused, so a hand-edited file
// with an overlong entry still starts the program.
inline constexpr std::size_t MaxIniValueLength = 254;

// The value of `key` in `section` of `file`. Section and key names match without regard to case;
// blanks around the value and one pair of enclosing quotes are dropped, and the value is cut to
// MaxIniValueLength characters. A missing file, section or key, or an empty value, gives
// `defaultValue`, except that an empty default gives "" either way.
std::string ReadIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::string_view defaultValue);

// Stores `value` under `key` in `section`, creating the file, the section or the key as needed and
// replacing the first existing entry in place; every other line is kept in its order. Lines are
// written with CR LF whatever the file used before. The file is replaced only by a complete new copy,
// so a failure (no permission, full disk, unreadable old file) leaves it as it was and says why.
// Names or values that would break the line structure (CR, LF, NUL; "=" in a key; "]" in a section)
// are refused the same way, as Unsupported.
tarvik::Status WriteIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value);
// Numbers are stored as their decimal digits.
tarvik::Status WriteIniValue(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   long long value);

}  // namespace settings
