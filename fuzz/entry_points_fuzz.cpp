// The three ways a bitmap becomes an RL file on any input: the window's (LoadBitmapImage, then
// SaveCompressedImage when fewer than 254 combinations), the `compress` command's (compressBitmapFile) and
// the batch engine's (a one-entry run). They must write the same bytes or refuse for the same reason.

#include <atomic>
#include <cstdint>
#include <string>

#include "batch_run.h"
#include "fuzz_support.h"
#include "image_model.h"

namespace {

namespace fs = std::filesystem;

std::string refusal(const imaging::Error& error) {
    if (error.code == imaging::ErrorCode::TooManyColours) {
        return "too many colours";
    }
    return std::string(tarvik::errorCodeName(error.code)) + ": " + error.detail;
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return "wrote " + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class LastResult : public batch::RunObserver {
public:
    void onEntry(const batch::EntryResult& result, batch::Progress) override { last = result; }
    batch::EntryResult last;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& scratch = fuzz::ScratchFolder::path();
    fs::create_directories(scratch / "src");
    fs::create_directories(scratch / "backup");
    const fs::path in = fuzz::writeScratchFile("src/in.bmp", std::span<const std::uint8_t>(data, size));
    std::error_code ec;
    fs::remove(scratch / "window.rl", ec);
    fs::remove(scratch / "compress.rl", ec);
    fs::remove(scratch / "backup/in.bmp", ec);

    std::string window;
    imaging::ImageModel model;
    if (imaging::Status loaded = imaging::LoadBitmapImage(in, model); !loaded) {
        window = refusal(loaded.error());
    } else if (model.CompressedColorCount >= imaging::CompressibleColorLimit) {
        window = "too many colours";
    } else if (imaging::Status saved = imaging::SaveCompressedImage(scratch / "window.rl", model); !saved) {
        window = refusal(saved.error());
    } else {
        window = bytesOf(scratch / "window.rl");
    }

    imaging::ImageModel streamed;
    const imaging::Status compressed = imaging::compressBitmapFile(in, scratch / "compress.rl", streamed);
    const std::string viaCompress = compressed ? bytesOf(scratch / "compress.rl") : refusal(compressed.error());
    FUZZ_CHECK(viaCompress == window);

    LastResult observer;
    std::atomic<bool> cancel{false};
    batch::Plan plan;
    plan.entries = {in.string()};
    plan.sourceFolder = (scratch / "src").string();
    plan.backupFolder = (scratch / "backup").string();
    batch::run(plan, observer, cancel);
    // Every entry point takes only files that start with "BM" (the window and the command check the
    // signature before they call the reader); the batch skips the others.
    if (size < 2 || data[0] != 'B' || data[1] != 'M') {
        FUZZ_CHECK(observer.last.reason == batch::Reason::UnknownType ||
                   observer.last.reason == batch::Reason::CopyOff);
        return 0;
    }
    std::string inBatch;
    switch (observer.last.reason) {
        case batch::Reason::None:
            inBatch = bytesOf(scratch / "backup/in.bmp");
            break;
        case batch::Reason::TooManyColours:
            inBatch = "too many colours";
            break;
        case batch::Reason::LoadFailed:
        case batch::Reason::WriterRefused:
            inBatch = observer.last.detail;
            break;
        default:
            FUZZ_CHECK(false);
    }
    FUZZ_CHECK(inBatch == window);
    return 0;
}
