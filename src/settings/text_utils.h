#pragma once

// Small text helpers shared by the settings file, the language files and the file-name matching.
// Case folding is ASCII only: the names involved (keys, sections, ".lng" files) are ASCII in practice,
// and folding UTF-8 letters would need locale tables this library avoids.

#include <string>
#include <string_view>

namespace settings {

char toUpperAscii(char c);
std::string toUpperAscii(std::string_view text);
std::string toLowerAscii(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// Orders as Windows lists a folder: by the upper-cased name, then by the exact bytes so the order is total.
bool lessIgnoringCase(std::string_view a, std::string_view b);
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix);
// Drops spaces and tabs at both ends.
std::string_view trimBlanks(std::string_view text);

}  // namespace settings
