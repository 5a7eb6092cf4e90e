#include "program_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <system_error>

#include "ini_file.h"

namespace settings {

namespace fs = std::filesystem;

std::string folderKey(Folder folder) {
    return "Folder" + std::to_string(static_cast<int>(folder));
}

namespace {

// Relative to the executable's folder, where an install puts the data: from the command line's folder and
// from the window program's.
constexpr const char* InstalledDataFolders[] = {TARVIK_DATA_FROM_BIN, TARVIK_DATA_FROM_WINDOW};

bool holdsLanguageFiles(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string extension = it->path().extension().string();
        for (char& c : extension) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (extension == ".lng" && it->is_regular_file(ec)) {
            return true;
        }
    }
    return false;
}

fs::path homeFolder(EnvironmentLookup environment) {
    if (const char* home = environment("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? fs::path(user->pw_dir) : fs::path("/");
}

}  // namespace

ProgramLocations locateProgram(const fs::path& executableFolder, EnvironmentLookup environment) {
    if (const char* home = environment(ProgramFolderVariable); home != nullptr && *home != '\0') {
        return {home, home, false};
    }
    if (holdsLanguageFiles(executableFolder)) {
        return {executableFolder, executableFolder, false};
    }
    ProgramLocations installed;
    installed.installed = true;
    installed.dataFolder = (executableFolder / InstalledDataFolders[0]).lexically_normal();
    for (const char* relative : InstalledDataFolders) {
        std::error_code ec;
        if (const fs::path folder = (executableFolder / relative).lexically_normal(); fs::is_directory(folder, ec)) {
            installed.dataFolder = folder;
            break;
        }
    }
    const char* configHome = environment("XDG_CONFIG_HOME");
    const fs::path configFolder = configHome != nullptr && fs::path(configHome).is_absolute()
                                      ? fs::path(configHome)
                                      : homeFolder(environment) / ".config";
    installed.settingsFolder = configFolder / ConfigFolderName;
    return installed;
}

ProgramLocations programLocations() {
    std::error_code ec;
    const auto executable = fs::read_symlink("/proc/self/exe", ec);
    const fs::path folder = !ec && executable.has_parent_path() ? executable.parent_path() : fs::current_path(ec);
    return locateProgram(folder, [](const char* name) -> const char* { return std::getenv(name); });
}

fs::path settingsFilePath(const fs::path& programDir) {
    return programDir / SettingsFileName;
}

std::string readSetting(const fs::path& programDir, std::string_view key, std::string_view defaultValue) {
    return ReadIniValue(settingsFilePath(programDir), GeneralSection, key, defaultValue);
}

tarvik::Status writeSetting(const fs::path& programDir, std::string_view key, std::string_view value) {
    std::error_code ec;
    if (!fs::is_directory(programDir, ec)) {
        fs::create_directories(programDir, ec);
        if (ec) {
            return tarvik::makeError(tarvik::ErrorCode::Io, "cannot create its folder: " + ec.message());
        }
    }
    return WriteIniValue(settingsFilePath(programDir), GeneralSection, key, value);
}

tarvik::Status writeSetting(const fs::path& programDir, std::string_view key, long long value) {
    return writeSetting(programDir, key, std::to_string(value));
}

std::string settingNotStoredText(const fs::path& programDir, std::string_view key, const tarvik::Error& error) {
    std::string text = "cannot store " + std::string(key) + " in " + settingsFilePath(programDir).string() + ": ";
    return text + (error.detail.empty() ? tarvik::errorCodeName(error.code) : error.detail);
}

}  // namespace settings
