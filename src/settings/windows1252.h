#pragma once

#include <string>
#include <string_view>

namespace settings {

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the control characters of the same number, as Windows itself converts them.
std::string windows1252ToUtf8(std::string_view bytes);

}  // namespace settings
