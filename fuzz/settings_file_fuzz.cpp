// The settings file reader and writer on arbitrary file contents and names. Properties:
//  - a read never fails: it gives the stored value (one line, at most 254 characters) or the default;
//  - a write that succeeds is read back exactly, and leaves another key of the file as it read before;
//  - a write that fails leaves the file byte for byte as it was.
//
// Input: when the first byte is odd, the section and key names come first, each ended by a NUL byte;
// otherwise section "GENERAL" and one of the program's own keys are used. The rest is the file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"
#include "fuzz_support.h"
#include "ini_file.h"
#include "text_utils.h"

namespace {

constexpr std::string_view ProgramKeys[] = {"Folder1", "Folder2", "Folder3", "Folder4",
                                            "Folder5", "Folder6", "Folder7", "Language"};

bool takeName(std::string_view& rest, std::string& name) {
    const auto end = rest.find('\0');
    if (end == std::string_view::npos || end > 64) {
        return false;
    }
    name = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    return true;
}

// A value the writer must take and the reader must give back unchanged: printable, no blanks at the ends,
// no enclosing quotes.
std::string valueFrom(std::string_view content) {
    std::string value = "v";
    for (const char c : content.substr(0, 60)) {
        if (c > ' ' && c < 0x7F && c != '"' && c != '\'') {
            value.push_back(c);
        }
    }
    return value;
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    auto bytes = tarvik::readWholeFile(path);
    FUZZ_CHECK(bytes.ok());
    return std::move(bytes.value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string section = "GENERAL";
    std::string key(ProgramKeys[size % std::size(ProgramKeys)]);
    if (size > 0 && (data[0] & 1) != 0) {
        rest.remove_prefix(1);
        if (!takeName(rest, section) || !takeName(rest, key)) {
            return 0;
        }
    }
    const auto path = fuzz::writeScratchFile(
        "TarvikBMP.ini",
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size()));

    const std::string withDefault = settings::ReadIniValue(path, section, key, "default");
    FUZZ_CHECK(!withDefault.empty());
    FUZZ_CHECK(withDefault.size() <= 4 * settings::MaxIniValueLength);
    FUZZ_CHECK(withDefault.find('\n') == std::string::npos);
    const std::string stored = settings::ReadIniValue(path, section, key, "");
    FUZZ_CHECK(stored.empty() ? withDefault == "default" : withDefault == stored);

    // Another key of the same section, read before and after the write.
    const std::string otherKey = settings::equalsIgnoringCase(key, "Other") ? "Another" : "Other";
    const std::string otherBefore = settings::ReadIniValue(path, section, otherKey, "");

    const std::vector<std::uint8_t> before = fileBytes(path);
    const std::string value = valueFrom(rest);
    if (!settings::WriteIniValue(path, section, key, value)) {
        FUZZ_CHECK(fileBytes(path) == before);
        return 0;
    }
    const std::string_view trimmedSection = settings::trimBlanks(section);
    const std::string_view trimmedKey = settings::trimBlanks(key);
    FUZZ_CHECK(settings::ReadIniValue(path, trimmedSection, trimmedKey, "") == value);
    if (trimmedSection == section) {
        FUZZ_CHECK(settings::ReadIniValue(path, section, otherKey, "") == otherBefore);
    }
    return 0;
}
