#pragma once

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

namespace settings_test {

// A fresh folder under the system's temporary folder, removed with everything in it at scope exit.
class TempFolder {
public:
    TempFolder() {
        static int serial = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("tarvik_settings_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace settings_test
