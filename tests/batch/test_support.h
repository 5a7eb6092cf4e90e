#pragma once

// Temporary trees and bitmaps built from bytes for the batch tests.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace batch_test {

namespace fs = std::filesystem;

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
};

// An uncompressed Windows bitmap: 54-byte header, rows bottom-up, 24-bit rows padded to four bytes.
// y counts from the top row.
std::vector<std::uint8_t> makeBmp(int width, int height, int bitDepth,
                                  const std::function<Rgba(int x, int y)>& pixel);

// A 16x16 opaque 32-bit bitmap holding exactly `combinations` distinct 5-6-5 colours (1..256).
std::vector<std::uint8_t> bmpWithCombinations(int combinations);

// A small bitmap whose content depends on the seed, so files of a tree differ.
std::vector<std::uint8_t> seededBmp(int seed, int bitDepth = 32);

// The RL file the codecs make of a bitmap.
std::vector<std::uint8_t> rlOf(const std::vector<std::uint8_t>& bmp);

// prefix + n + suffix ("f12.bmp").
std::string numbered(const std::string& prefix, int n, const std::string& suffix = {});

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes);
void writeText(const fs::path& path, const std::string& text);
std::vector<std::uint8_t> readBytes(const fs::path& path);

// Every file and folder below root, by path relative to it; folders map to "<dir>".
std::map<std::string, std::vector<std::uint8_t>> snapshot(const fs::path& root);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    fs::path operator/(const std::string& relative) const { return m_path / relative; }

private:
    fs::path m_path;
};

// Runs fn in a child process without root's rights (as "nobody" when we are root, so that permissions
// bite), returning its exit status; -1 when the child could not be started.
int runUnprivileged(const std::function<int()>& fn);

}  // namespace batch_test
