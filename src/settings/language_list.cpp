#include "language_list.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "file_names.h"
#include "program_settings.h"
#include "text_utils.h"

namespace settings {

namespace fs = std::filesystem;

namespace {

constexpr int TemplateLeftTwips = -440;
constexpr int TemplateTopTwips = 6120;
constexpr int FlagWidthTwips = 390;
constexpr int FlagHeightTwips = 255;
constexpr int FlagGapTwips = 120;
constexpr int FlagTopTwips = 6320;
constexpr int ActiveRaiseTwips = 40;

std::string notLoadedText(const Language& language, const tarvik::Error& error) {
    return "cannot load language file " + language.languageFilePath().string() + ": " +
           (error.detail.empty() ? tarvik::errorCodeName(error.code) : error.detail);
}

std::optional<fs::path> regularFileIgnoringCase(const fs::path& folder, std::string_view name) {
    auto found = findIgnoringCase(folder, name);
    std::error_code ec;
    if (found && fs::is_regular_file(*found, ec)) {
        return found;
    }
    return std::nullopt;
}

std::string withoutExtension(std::string_view fileName) {
    return std::string(fileName.substr(0, fileName.size() - LanguageExtension.size()));
}

}  // namespace

fs::path startupLanguageFilePath(const fs::path& programDir) {
    return programDir / StartupLanguageFileName;
}

std::vector<LanguageEntry> BuildLanguageList(const fs::path& programDir) {
    std::vector<LanguageEntry> languages;
    const std::string frenchName = withoutExtension(FrenchFileName);
    languages.push_back({frenchName,
                         findIgnoringCase(programDir, FrenchFileName).value_or(programDir / FrenchFileName),
                         regularFileIgnoringCase(programDir, frenchName + std::string(FlagSuffix))});

    std::vector<LanguageEntry> others;
    std::error_code ec;
    for (fs::directory_iterator it(programDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) {
            continue;
        }
        const auto fileName = it->path().filename().string();
        if (!endsWithIgnoringCase(fileName, LanguageExtension) ||
            toLowerAscii(fileName).find("french.lng") != std::string::npos) {
            continue;
        }
        const auto name = withoutExtension(fileName);
        if (auto flag = regularFileIgnoringCase(programDir, name + std::string(FlagSuffix))) {
            others.push_back({name, it->path(), std::move(flag)});
        }
    }
    // The stored language number is a position in this order, so it must not depend on how the file
    // system happens to enumerate the folder.
    std::sort(others.begin(), others.end(), [](const LanguageEntry& a, const LanguageEntry& b) {
        return lessIgnoringCase(a.file.filename().string(), b.file.filename().string());
    });
    languages.insert(languages.end(), others.begin(), others.end());
    return languages;
}

int languageNumberFromSetting(std::string_view stored, int count) {
    auto text = trimBlanks(stored);
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || number < 1 ||
        number > count) {
        return 1;
    }
    return number;
}

FlagPlacement flagPlacement(int number, bool active) {
    if (number <= 0) {
        return {TemplateLeftTwips, TemplateTopTwips, FlagWidthTwips, FlagHeightTwips, false};
    }
    return {TemplateLeftTwips + number * (FlagWidthTwips + FlagGapTwips),
            FlagTopTwips - (active ? ActiveRaiseTwips : 0), FlagWidthTwips, FlagHeightTwips, active};
}

LanguageStart LanguageBar::start(Language& language) {
    m_languages = BuildLanguageList(m_programDir);
    m_active = languageNumberFromSetting(readSetting(m_settingsDir, LanguageKey, "1"), count());
    language.setLanguageFilePath(m_languages[static_cast<std::size_t>(m_active - 1)].file);
    LanguageStart started;
    started.active = m_active;
    if (auto loaded = language.LoadLanguageFile(); !loaded) {
        started.warnings.push_back(notLoadedText(language, loaded.error()));
    }
    return started;
}

std::optional<LanguageSwitch> LanguageBar::switchTo(int number, Language& language) {
    if (number < 1 || number > count()) {
        return std::nullopt;
    }
    LanguageSwitch change;
    change.lowered = m_active;
    change.raised = number;
    language.setLanguageFilePath(m_languages[static_cast<std::size_t>(number - 1)].file);
    // A load that fails keeps the previous text active; the switch goes on as the user asked.
    if (auto loaded = language.LoadLanguageFile(); !loaded) {
        change.warnings.push_back(notLoadedText(language, loaded.error()));
    }
    for (int tab = 0; tab < 3; ++tab) {
        change.tabTitles[static_cast<std::size_t>(tab)] = language.menuTitle(tab);
    }
    m_active = number;
    if (auto stored = writeSetting(m_settingsDir, LanguageKey, number); !stored) {
        change.warnings.push_back(settingNotStoredText(m_settingsDir, LanguageKey, stored.error()));
    }
    return change;
}

}  // namespace settings
