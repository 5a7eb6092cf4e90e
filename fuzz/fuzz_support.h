#pragma once

// Helpers shared by the fuzz targets: a failed property aborts (libFuzzer then saves the input), and
// readers that only take a path get the input through a scratch file on a RAM-backed folder.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <system_error>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace fuzz {

// One folder per fuzzing process, removed when it exits. /dev/shm keeps a write per input cheap.
class ScratchFolder {
public:
    static const std::filesystem::path& path() {
        static ScratchFolder folder;
        return folder.m_path;
    }

private:
    ScratchFolder() {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tarvik-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }

    std::filesystem::path m_path;
};

// Writes the bytes to `name` in the scratch folder and returns its path.
inline std::filesystem::path writeScratchFile(const char* name, std::span<const std::uint8_t> bytes) {
    const auto path = ScratchFolder::path() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    FUZZ_CHECK(out.good());
    return path;
}

}  // namespace fuzz
