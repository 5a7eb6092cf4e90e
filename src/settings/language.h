#pragma once

// The active language file: its path, its whole text, and lookups by key.
//
// A language file is Windows-1252 text of entries "Key=Value" each ended by CR LF. A lookup takes the
// first place where the key followed by "=" occurs anywhere in the text, even inside another line, and
// the value up to the next CR LF; an entry without a final CR LF is never found. Stored files written
// for the program depend on these rules, so they are kept as they are.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "result.h"

namespace settings {

class Language {
public:
    // Language files larger than this are refused (the previous text stays active).
    static constexpr std::uintmax_t MaxFileBytes = std::uintmax_t{4} << 20;

    void setLanguageFilePath(std::filesystem::path path) { m_languageFilePath = std::move(path); }
    // An installed copy's language files belong to the package: a missing one is reported, never created
    // there (a file made by a run as root would outlive the package's removal).
    void setCreatesMissingFile(bool creates) { m_createsMissingFile = creates; }
    const std::filesystem::path& languageFilePath() const { return m_languageFilePath; }
    // UTF-8. Empty means "nothing loaded yet": the next lookup loads LanguageFilePath first.
    const std::string& languageText() const { return m_languageText; }

    // Reads LanguageFilePath whole into LanguageText. The name is matched without regard to case
    // ("french.lng" finds "French.lng"). A missing file is created empty when its folder allows it,
    // and the load then succeeds with an empty text. When the file cannot be created or read the
    // reason comes back and LanguageText keeps what it held.
    tarvik::Status LoadLanguageFile();

    // The main text of `key` ("" when missing or empty). "\n" and "\t" in either case become CR LF and
    // a tab; the value is split at its first "|", and the part after it goes to `secondText` when
    // `wantSecond` is true. `secondText` is emptied first in any case.
    std::string GetLangString(std::string_view key, std::string& secondText, bool wantSecond);
    std::string GetLangString(std::string_view key);

    // The fixed keys: tab titles "Menu_0".."Menu_2" and composed texts "Message_1".."Message_8".
    std::string menuTitle(int tab) { return GetLangString("Menu_" + std::to_string(tab)); }
    std::string message(int number) { return GetLangString("Message_" + std::to_string(number)); }

private:
    std::filesystem::path m_languageFilePath;
    std::string m_languageText;
    bool m_createsMissingFile = true;
};

}  // namespace settings
