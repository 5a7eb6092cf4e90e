#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "language.h"

namespace settings_test {

// A fresh folder under the system's temporary folder, removed with everything in it at scope exit.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string name = (std::filesystem::temp_directory_path() / "tarvik_settings_XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        path = name;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path / name; }
};

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A language read from a file holding exactly `bytes`.
struct LoadedLanguage {
    TempFolder dir;
    settings::Language language;
    explicit LoadedLanguage(const std::string& bytes) {
        writeBytes(dir / "Test.lng", bytes);
        language.setLanguageFilePath(dir / "Test.lng");
        EXPECT_TRUE(language.LoadLanguageFile());
    }
};

}  // namespace settings_test
