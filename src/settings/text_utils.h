#pragma once

// Small text helpers shared by the settings file and the language files.

#include <string_view>

#include "ascii_case.h"

namespace settings {

// Case-insensitive names are compared the same way everywhere in the program.
using tarvik::endsWithIgnoringCase;
using tarvik::equalsIgnoringCase;
using tarvik::lessIgnoringCase;
using tarvik::toLowerAscii;
using tarvik::toUpperAscii;

// Drops spaces and tabs at both ends.
std::string_view trimBlanks(std::string_view text);

}  // namespace settings
