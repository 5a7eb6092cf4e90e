#include "program_settings.h"

#include <cstdlib>
#include <system_error>

#include "ini_file.h"

namespace settings {

namespace fs = std::filesystem;

std::string folderKey(Folder folder) {
    return "Folder" + std::to_string(static_cast<int>(folder));
}

fs::path programFolder() {
    if (const char* home = std::getenv(ProgramFolderVariable); home != nullptr && *home != '\0') {
        return fs::path(home);
    }
    std::error_code ec;
    const auto executable = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && executable.has_parent_path()) {
        return executable.parent_path();
    }
    auto current = fs::current_path(ec);
    return ec ? fs::path(".") : current;
}

fs::path settingsFilePath(const fs::path& programDir) {
    return programDir / SettingsFileName;
}

std::string readSetting(const fs::path& programDir, std::string_view key, std::string_view defaultValue) {
    return ReadIniValue(settingsFilePath(programDir), GeneralSection, key, defaultValue);
}

tarvik::Status writeSetting(const fs::path& programDir, std::string_view key, std::string_view value) {
    return WriteIniValue(settingsFilePath(programDir), GeneralSection, key, value);
}

tarvik::Status writeSetting(const fs::path& programDir, std::string_view key, long long value) {
    return WriteIniValue(settingsFilePath(programDir), GeneralSection, key, value);
}

std::string settingNotStoredText(const fs::path& programDir, std::string_view key, const tarvik::Error& error) {
    std::string text = "cannot store " + std::string(key) + " in " + settingsFilePath(programDir).string() + ": ";
    return text + (error.detail.empty() ? tarvik::errorCodeName(error.code) : error.detail);
}

}  // namespace settings
