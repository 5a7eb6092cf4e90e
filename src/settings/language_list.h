#pragma once

// The row of language flags, as data: which languages exist, which one is active, and what the window
// has to do when the user clicks a flag. The window only draws what this says.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "language.h"

namespace settings {

inline constexpr std::string_view FrenchFileName = "French.lng";
inline constexpr std::string_view StartupLanguageFileName = "french.lng";
inline constexpr std::string_view LanguageExtension = ".lng";
inline constexpr std::string_view FlagSuffix = "_flag.gif";

struct LanguageEntry {
    std::string name;                           // file name less ".lng", e.g. "English"
    std::filesystem::path file;                 // as found in the folder (any case), or "French.lng"
    std::optional<std::filesystem::path> flag;  // missing only for French, whose entry is there regardless
};

// The language file the window loads before the list exists: "french.lng" in the program folder
// (LoadLanguageFile finds it whatever the case of the name on disk).
std::filesystem::path startupLanguageFilePath(const std::filesystem::path& programDir);

// French first, whether or not its file and flag exist; then every other "*.lng" file of the folder
// that has "<name>_flag.gif" beside it, in Windows listing order (by name, ignoring case). Names that
// contain "french.lng" in any case are left out. File name matching ignores case throughout.
std::vector<LanguageEntry> BuildLanguageList(const std::filesystem::path& programDir);

// A stored "Language" value as a 1-based language number: blanks around it are allowed; anything that
// is not a whole number from 1 to `count` gives 1.
int languageNumberFromSetting(std::string_view stored, int count);

// Flag positions in twips. Flag 0 is the template outside the window; flag n sits 120 twips right of
// flag n-1; the active flag is framed and raised by 40 twips.
struct FlagPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool framed = false;
};
FlagPlacement flagPlacement(int number, bool active);

// What the window must do after a flag click, in this order: unframe and lower `lowered` (0: none),
// repaint the three tab buttons with `tabTitles`, translate itself (TranslateForm), set its title back to
// the fixed program title, frame and raise `raised`.
// `warnings` says what failed on the way (a language file that could not be loaded, a choice that could not
// be stored); the switch happens regardless, as the user asked.
struct LanguageSwitch {
    int lowered = 0;
    int raised = 0;
    std::array<std::string, 3> tabTitles;
    std::vector<std::string> warnings;
};

struct LanguageStart {
    int active = 1;
    std::vector<std::string> warnings;  // a language file that could not be loaded
};

class LanguageBar {
public:
    // The language files and flags are in `languageDir`; the chosen number is stored in the settings file in
    // `settingsDir` (the same folder for a portable copy).
    explicit LanguageBar(std::filesystem::path programDir) : LanguageBar(programDir, programDir) {}
    LanguageBar(std::filesystem::path languageDir, std::filesystem::path settingsDir)
        : m_programDir(std::move(languageDir)), m_settingsDir(std::move(settingsDir)) {}

    // Builds the list, reads the stored language (falling back to 1), points `language` at it and loads
    // it. Gives the active number; the window then places the flags and translates itself.
    LanguageStart start(Language& language);

    // A click on flag `number`: loads that language and stores the number in the settings file.
    // Nothing when `number` is not a flag of the list.
    std::optional<LanguageSwitch> switchTo(int number, Language& language);

    const std::vector<LanguageEntry>& languages() const { return m_languages; }
    int count() const { return static_cast<int>(m_languages.size()); }
    // 1-based; 0 before start().
    int activeNumber() const { return m_active; }
    const std::filesystem::path& programDir() const { return m_programDir; }

private:
    std::filesystem::path m_programDir;
    std::filesystem::path m_settingsDir;
    std::vector<LanguageEntry> m_languages;
    int m_active = 0;
};

}  // namespace settings
