// The language module on arbitrary file contents: loading (Windows-1252 to UTF-8), looking up the
// program's fixed keys and keys taken from the file itself, and translating a small window. Properties:
// the loaded text is valid UTF-8 of the expected length, a main text never holds the "|" that separates
// it from its second text, and a key that is found gives the value of its first "key=" occurrence.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "language.h"
#include "translation.h"

namespace {

// Returns the number of code points, or -1 when the text is not well-formed UTF-8.
long utf8Length(std::string_view text) {
    long count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 0;
        if (length == 0 || i + length > text.size()) {
            return -1;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return -1;
            }
        }
        i += length;
    }
    return count;
}

void checkLookup(settings::Language& language, std::string_view key) {
    std::string second;
    const std::string main = language.GetLangString(key, second, true);
    FUZZ_CHECK(main.find('|') == std::string::npos);
    std::string ignored = "stale";
    FUZZ_CHECK(language.GetLangString(key, ignored, false) == main);
    FUZZ_CHECK(ignored.empty());
    const std::string& text = language.languageText();
    const auto at = text.find(std::string(key) + "=");
    if (at == std::string::npos || text.find("\r\n", at) == std::string::npos) {
        FUZZ_CHECK(main.empty() && second.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::writeScratchFile("Fuzz.lng", std::span<const std::uint8_t>(data, size));
    settings::Language language;
    language.setLanguageFilePath(path);
    FUZZ_CHECK(language.LoadLanguageFile());
    const std::string& text = language.languageText();
    FUZZ_CHECK(utf8Length(text) == static_cast<long>(size));

    for (const std::string_view key :
         {"Menu_0", "Menu_2", "Message_1", "Message_8", "FrmMain", "FrmMain_CmdComp"}) {
        checkLookup(language, key);
    }
    // Keys the file itself names: the text before each of the first few "=".
    std::size_t lineStart = 0;
    for (int n = 0; n < 8 && lineStart < text.size(); ++n) {
        const auto equals = text.find('=', lineStart);
        if (equals == std::string::npos) {
            break;
        }
        checkLookup(language, std::string_view(text).substr(lineStart, equals - lineStart));
        const auto lineEnd = text.find('\n', equals);
        lineStart = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
    }

    const std::array<settings::ControlInfo, 3> controls = {{
        {"CmdComp", std::nullopt, settings::ControlKind::Other},
        {"OptAffichage", 1, settings::ControlKind::Other},
        {"TextCheminBMP", std::nullopt, settings::ControlKind::TextBox},
    }};
    const settings::FormTranslation translation = settings::TranslateForm(language, "FrmMain", controls);
    FUZZ_CHECK(translation.controls.size() == controls.size());
    FUZZ_CHECK(translation.controls[1].key == "FrmMain_OptAffichage_1");
    return 0;
}
