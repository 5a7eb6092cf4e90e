#include "ini_file.h"

#include <optional>
#include <system_error>
#include <vector>

#include "file_io.h"
#include "text_utils.h"

namespace settings {

namespace fs = std::filesystem;

namespace {

// Settings files are a few hundred bytes; anything far larger is not ours and is left alone.
constexpr std::uintmax_t MaxIniFileBytes = std::uintmax_t{16} << 20;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

struct IniText {
    std::string bom;  // kept as found so an editor's byte-order mark survives our rewrite
    std::vector<std::string> lines;
};

enum class LineKind { Blank, Section, Entry, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name
    std::string_view value;  // entry value, blanks trimmed
};

ParsedLine parseLine(std::string_view line) {
    const auto text = trimBlanks(line);
    if (text.empty()) {
        return {LineKind::Blank, {}, {}};
    }
    if (text.front() == '[') {
        const auto close = text.find(']');
        const auto inside =
            text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        return {LineKind::Section, trimBlanks(inside), {}};
    }
    if (text.front() == ';') {
        return {LineKind::Other, {}, {}};
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return {LineKind::Other, {}, {}};
    }
    return {LineKind::Entry, trimBlanks(text.substr(0, equals)), trimBlanks(text.substr(equals + 1))};
}

IniText splitLines(std::string_view content) {
    IniText ini;
    if (content.starts_with(Utf8Bom)) {
        ini.bom = Utf8Bom;
        content.remove_prefix(Utf8Bom.size());
    }
    while (!content.empty()) {
        const auto newline = content.find('\n');
        auto line = content.substr(0, newline);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        ini.lines.emplace_back(line);
        if (newline == std::string_view::npos) {
            break;
        }
        content.remove_prefix(newline + 1);
    }
    return ini;
}

struct Location {
    std::optional<std::size_t> entry;          // the line holding the key
    std::optional<std::size_t> section;        // the first line of the first matching section
    std::optional<std::size_t> lastInSection;  // its last non-blank line
};

// The first matching section wins; a key repeated later in the file, or in a repeated section, is
// only reached when the earlier ones do not hold it.
Location locate(const IniText& ini, std::string_view section, std::string_view key) {
    Location where;
    bool inMatchingSection = false;
    bool inFirstMatchingSection = false;
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        const auto parsed = parseLine(ini.lines[i]);
        if (parsed.kind == LineKind::Section) {
            inMatchingSection = equalsIgnoringCase(parsed.name, section);
            inFirstMatchingSection = inMatchingSection && !where.section;
            if (inFirstMatchingSection) {
                where.section = i;
                where.lastInSection = i;
            }
            continue;
        }
        if (inFirstMatchingSection && parsed.kind != LineKind::Blank) {
            where.lastInSection = i;
        }
        if (inMatchingSection && parsed.kind == LineKind::Entry && equalsIgnoringCase(parsed.name, key)) {
            where.entry = i;
            return where;
        }
    }
    return where;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Cuts after `limit` characters without splitting a UTF-8 sequence; a stray byte counts as one character.
std::string cutToCharacters(std::string_view text, std::size_t limit) {
    std::size_t pos = 0;
    for (std::size_t count = 0; pos < text.size(); ++count) {
        if (count == limit) {
            return std::string(text.substr(0, pos));
        }
        ++pos;
        for (int continuation = 0;
             continuation < 3 && pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80;
             ++continuation) {
            ++pos;
        }
    }
    return std::string(text);
}

bool breaksLines(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The form a value is stored in so that reading gives it back: blanks around a value are trimmed and one
// pair of enclosing quotes dropped on reading, so such a value (a folder name ending in a blank) is put in
// double quotes, as the profile format allows.
std::string storedForm(std::string_view value) {
    const bool blankEdge = !value.empty() && trimBlanks(value).size() != value.size();
    if (blankEdge || unquote(value).size() != value.size()) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

}  // namespace

std::string ReadIniValue(const fs::path& file, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    std::string value;
    if (auto bytes = tarvik::readWholeFile(file, MaxIniFileBytes)) {
        const std::string content(bytes->begin(), bytes->end());
        const auto ini = splitLines(content);
        const auto where = locate(ini, section, key);
        if (where.entry) {
            value = cutToCharacters(unquote(parseLine(ini.lines[*where.entry]).value), MaxIniValueLength);
        }
    }
    if (value.empty() && !defaultValue.empty()) {
        return std::string(defaultValue);
    }
    return value;
}

tarvik::Status WriteIniValue(const fs::path& file, std::string_view section, std::string_view key,
                             std::string_view value) {
    const auto trimmedSection = trimBlanks(section);
    const auto trimmedKey = trimBlanks(key);
    if (trimmedSection.empty() || trimmedKey.empty() || breaksLines(section) || breaksLines(key) ||
        breaksLines(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || trimmedKey.front() == '[' || trimmedKey.front() == ';') {
        return tarvik::makeError(tarvik::ErrorCode::Unsupported,
                                 "a settings entry cannot hold line breaks, '=' in its key or ']' in its section");
    }

    IniText ini;
    std::error_code ec;
    if (fs::exists(file, ec)) {
        // An old file we cannot read must not be replaced by one holding a single key.
        auto bytes = tarvik::readWholeFile(file, MaxIniFileBytes);
        if (!bytes) {
            return bytes.error();
        }
        ini = splitLines(std::string(bytes->begin(), bytes->end()));
    } else if (ec) {
        return tarvik::makeError(tarvik::ErrorCode::Io, ec.message());
    }

    const std::string stored = storedForm(value);
    const auto where = locate(ini, trimmedSection, trimmedKey);
    if (where.entry) {
        // Keep the key as the file spells it; only the value changes.
        auto& line = ini.lines[*where.entry];
        const auto equals = line.find('=');
        line = std::string(trimBlanks(std::string_view(line).substr(0, equals))) + "=" + stored;
    } else if (where.section) {
        ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(*where.lastInSection + 1),
                         std::string(trimmedKey) + "=" + stored);
    } else {
        if (!ini.lines.empty() && !trimBlanks(ini.lines.back()).empty()) {
            ini.lines.emplace_back();
        }
        std::string header = "[";
        header.append(trimmedSection).append("]");
        ini.lines.push_back(std::move(header));
        ini.lines.push_back(std::string(trimmedKey) + "=" + stored);
    }

    tarvik::AtomicFileWriter writer(file);
    writer.write(ini.bom);
    for (const auto& line : ini.lines) {
        writer.write(line);
        writer.write(std::string("\r\n"));
    }
    return writer.commit();
}

tarvik::Status WriteIniValue(const fs::path& file, std::string_view section, std::string_view key,
                             long long value) {
    return WriteIniValue(file, section, key, std::to_string(value));
}

}  // namespace settings
