// `tarvikbmp batch compress|decompress SOURCE BACKUP`: the batch tabs' run from a terminal.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "batch_run.h"
#include "commands.h"
#include "file_search.h"
#include "folder_tab.h"
#include "termination.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

std::atomic<bool> g_cancelRequested{false};

struct BatchOptions {
    std::string direction;
    std::string source;
    std::string backup;
    bool subfolders = false;
    bool copy = false;
    unsigned jobs = 0;
    bool dryRun = false;
    bool quiet = false;
    bool png = false;
    bool fit = false;
};

std::string reasonWithDetail(const batch::EntryResult& result) {
    std::string text(batch::reasonText(result.reason));
    if (!result.detail.empty()) {
        text += ": " + result.detail;
    }
    return text;
}

class ConsoleObserver : public batch::RunObserver {
public:
    ConsoleObserver(bool dryRun, bool quiet, bool terminal)
        : m_dryRun(dryRun), m_quiet(quiet), m_bar(terminal) {}

    void onEntry(const batch::EntryResult& result, batch::Progress progress) override {
        if (result.outcome == batch::Outcome::Failed) {
            clearBar();
            // A failed write concerns the file written; every other failure the entry.
            const std::string& concerned =
                result.reason == batch::Reason::WriteFailed && !result.target.empty() ? result.target
                                                                                      : result.entry;
            std::fprintf(stderr, "tarvikbmp: %s: %s\n", shown(concerned).c_str(),
                         shown(reasonWithDetail(result)).c_str());
        }
        if (m_dryRun && !m_quiet) {
            printDryRunLine(result);
        } else if (!m_quiet && m_bar) {
            drawBar(progress);
        } else if (!m_quiet) {
            printPlainLine(result, progress);
        }
    }

    void finish() {
        if (m_barShown) {
            std::fputc('\n', stdout);
            m_barShown = false;
        }
        std::fflush(stdout);
    }

private:
    void printDryRunLine(const batch::EntryResult& result) {
        switch (result.outcome) {
            case batch::Outcome::Converted:
                std::printf("would %s %s -> %s\n", result.fitted ? "fit    " : "convert",
                            shown(result.entry).c_str(), shown(result.target).c_str());
                break;
            case batch::Outcome::Copied:
                std::printf("would copy    %s -> %s\n", shown(result.entry).c_str(), shown(result.target).c_str());
                break;
            case batch::Outcome::Skipped:
                std::printf("would skip    %s (%s)\n", shown(result.entry).c_str(),
                            shown(reasonWithDetail(result)).c_str());
                break;
            case batch::Outcome::Failed:
                std::printf("would fail    %s (%s)\n", shown(result.entry).c_str(),
                            shown(reasonWithDetail(result)).c_str());
                break;
        }
    }

    void printPlainLine(const batch::EntryResult& result, batch::Progress progress) {
        if (result.outcome == batch::Outcome::Failed) {
            return;  // already on stderr
        }
        std::printf("[%zu/%zu] %s %s", progress.position, progress.count,
                    result.fitted ? "fitted" : std::string(batch::outcomeText(result.outcome)).c_str(),
                    shown(result.entry).c_str());
        if (result.outcome == batch::Outcome::Skipped) {
            std::printf(" (%s)\n", shown(reasonWithDetail(result)).c_str());
        } else {
            std::printf(" -> %s\n", shown(result.target).c_str());
        }
    }

    // Redrawn at most ten times a second: a terminal cannot keep up with thousands of lines a second.
    void drawBar(batch::Progress progress) {
        auto now = std::chrono::steady_clock::now();
        if (m_barShown && progress.position != progress.count &&
            now - m_lastDraw < std::chrono::milliseconds(100)) {
            return;
        }
        m_lastDraw = now;
        constexpr std::size_t Width = 40;
        std::size_t filled = progress.count == 0 ? Width : progress.position * Width / progress.count;
        std::string bar(filled, '#');
        bar.append(Width - filled, '-');
        std::printf("\r[%s] %zu/%zu", bar.c_str(), progress.position, progress.count);
        std::fflush(stdout);
        m_barShown = true;
    }

    void clearBar() {
        if (m_barShown) {
            std::fputc('\n', stdout);
            std::fflush(stdout);
            m_barShown = false;
        }
    }

    bool m_dryRun;
    bool m_quiet;
    bool m_bar;
    bool m_barShown = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

void printSummary(const batch::Summary& summary, bool dryRun, bool fit) {
    std::string skipped;
    for (std::size_t r = 0; r < batch::ReasonCount; ++r) {
        auto reason = static_cast<batch::Reason>(r);
        bool isSkip = reason == batch::Reason::Vanished || reason == batch::Reason::UnknownType ||
                      reason == batch::Reason::LoadFailed || reason == batch::Reason::TooManyColours ||
                      reason == batch::Reason::WriterRefused || reason == batch::Reason::CopyOff ||
                      reason == batch::Reason::BitmapBeside;
        if (isSkip && summary.byReason[r] > 0) {
            skipped += (skipped.empty() ? "" : ", ") + std::string(batch::reasonText(reason)) + " " +
                       std::to_string(summary.byReason[r]);
        }
    }
    if (!skipped.empty()) {
        skipped = " (" + skipped + ")";
    }
    const std::string fitted = fit ? ", " + std::to_string(summary.fitted) + " fitted" : "";
    std::printf("%s%zu file(s): %zu converted%s, %zu copied, %zu skipped%s, %zu failed\n",
                dryRun ? "dry run, nothing written: " : "", summary.count, summary.converted, fitted.c_str(),
                summary.copied, summary.skipped, skipped.c_str(), summary.failed);
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

int runBatch(const BatchOptions& options) {
    if ((options.png || options.fit) && options.direction != "compress") {
        std::fprintf(stderr, "tarvikbmp batch: --png and --fit apply to compress only\n");
        return ExitUsage;
    }
    if (!isFolder(options.source)) {
        std::fprintf(stderr, "tarvikbmp batch: source folder not found: %s\n", shown(options.source).c_str());
        return ExitUsage;
    }
    if (!isFolder(options.backup)) {
        std::fprintf(stderr, "tarvikbmp batch: backup folder not found: %s (create it first)\n",
                     shown(options.backup).c_str());
        return ExitUsage;
    }

    batch::Plan plan;
    plan.direction =
        options.direction == "compress" ? batch::Direction::Compress : batch::Direction::Decompress;
    plan.sourceFolder = batch::sourceFolderText(options.source);
    // Same files either way; one separator less only spares the printed targets a doubled one.
    plan.backupFolder = batch::sourceFolderText(options.backup);
    plan.copyOthers = options.copy;
    plan.jobs = options.jobs;
    plan.dryRun = options.dryRun;
    plan.pngFiles = options.png;
    plan.fit = options.fit;
    // One walk for both kinds, so the list keeps the folder order whatever the extension.
    // The backup folder is left out of the walk: a second run would otherwise take the first one's output
    // for source files.
    batch::Listing listing = batch::ListFiles(plan.sourceFolder, options.png ? "*.bmp;*.png" : "*.bmp",
                                              options.subfolders, plan.backupFolder);
    plan.entries = std::move(listing.files);
    plan.unlistedFolders = std::move(listing.unlisted);

    const bool terminal = isatty(fileno(stdout)) != 0;
    ConsoleObserver observer(options.dryRun, options.quiet, terminal);

    // A first Ctrl-C, kill or hang-up stops the run (no target is replaced after it); a second one ends the
    // program at once, removing the temporaries of the writes under way.
    g_cancelRequested.store(false);
    tarvik::handleTerminationSignals(&g_cancelRequested);
    batch::Summary summary = batch::run(plan, observer, g_cancelRequested);
    const int stoppedBy = tarvik::stoppingSignal();
    tarvik::handleTerminationSignals();
    observer.finish();

    if (!options.quiet) {
        printSummary(summary, options.dryRun, options.fit);
    }
    std::fflush(stdout);
    if (summary.cancelled) {
        std::fprintf(stderr, "tarvikbmp batch: cancelled after %zu of %zu file(s)\n", summary.processed,
                     summary.count);
        return 128 + (stoppedBy != 0 ? stoppedBy : SIGINT);
    }
    return summary.failed > 0 ? ExitFailed : ExitOk;
}

}  // namespace

void addBatchCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<BatchOptions>();
    options->jobs = std::max(1u, std::thread::hardware_concurrency());
    CLI::App* command = app.add_subcommand(
        "batch", "Convert the listed files of a folder tree into a backup folder that mirrors it");
    command->footer(
        "Files are listed by name, as the window lists them: those whose extension, in any case, is part of\n"
        "\".bmp\" (a.BMP, a.bm, a.b, \"a.\", a file named \"bmp\"). What each file holds is then told by its\n"
        "first two bytes, not by its name: \"BM\" a Windows bitmap, \"RL\" an RL file; others are skipped.\n"
        "With --png the extension may also be part of \".png\", and files with the PNG signature are converted.\n"
        "A folder name that starts with \"-\" follows \"--\", which ends the options.");
    command
        ->add_option("DIRECTION", options->direction,
                     "compress (bitmaps to RL) or decompress (RL to bitmaps)")
        ->required()
        ->check(CLI::IsMember({"compress", "decompress"}));
    command->add_option("SOURCE", options->source, "folder whose listed files are converted")->required();
    command->add_option("BACKUP", options->backup, "existing folder that receives the converted files")
        ->required();
    command->add_flag("--subfolders", options->subfolders, "include the files of every subfolder");
    command->add_flag("--copy", options->copy, "copy files already in the target format unchanged");
    command->add_option("--jobs,-j", options->jobs, "worker threads (default: one per core)")
        ->check(CLI::Range(1u, 64u));
    command->add_flag("--png", options->png,
                      "compress: also convert .png files, each written as NAME.bmp (skipped when NAME.bmp "
                      "stands beside it)");
    command->add_flag("--fit", options->fit,
                      "compress: fit images with too many colours or too long rows instead of skipping them");
    command->add_flag("--dry-run", options->dryRun, "list what would be done; write nothing");
    command->add_flag("--quiet,-q", options->quiet,
                      "no progress and no summary; failures still go to stderr");
    command->callback([options, &exitCode] { exitCode = runBatch(*options); });
}

}  // namespace cli
