#pragma once

// Comparing names without regard to case: settings keys and sections, language and flag files, file
// extensions. Folding is ASCII only: the names involved are ASCII in practice, and folding other letters
// would need locale tables the core avoids.

#include <algorithm>
#include <string>
#include <string_view>

namespace tarvik {

constexpr char toUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char toLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return toUpperAscii(c); });
    return out;
}

inline std::string toLowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return toLowerAscii(c); });
    return out;
}

inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return toUpperAscii(x) == toUpperAscii(y);
           });
}

inline bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// Orders as Windows lists a folder: by the upper-cased name, then by the exact bytes so the order is total.
// Bytes compare unsigned, so names with accents sort after ASCII ones.
inline bool lessIgnoringCase(std::string_view a, std::string_view b) {
    const auto upperA = toUpperAscii(a);
    const auto upperB = toUpperAscii(b);
    if (upperA != upperB) {
        return std::lexicographical_compare(
            upperA.begin(), upperA.end(), upperB.begin(), upperB.end(),
            [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
    }
    return a < b;
}

}  // namespace tarvik
