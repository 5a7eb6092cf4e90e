#include "cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string_view>

#include "commands.h"
#include "termination.h"
#include "version.h"

namespace cli {

namespace {
constexpr std::string_view Subcommands[] = {"info", "compress", "decompress", "batch"};

// The manual page is made from these help texts at build time, so what it says about exit codes, the JSON
// keys and the places the program uses is kept here, beside the commands it describes.
constexpr const char* HelpFooter =
    R"(Run "tarvikbmp COMMAND --help" for the arguments of one command. Without a command, or with only file
paths, tarvikbmp opens the window (the program tarvikbmp-window) on those files; a second start hands its
files to the window already open.

Exit status:
  0    done
  1    failed; the reason is on stderr and an output file is left unchanged or absent
  2    usage error
  130  stopped by Ctrl-C; 143 by a kill (SIGTERM), 129 by a hang-up (SIGHUP) (batch: no file is replaced
       after it, what was written stays; a second one ends the program at once). No hidden temporary file
       is left behind either way, and a later run removes those of a program killed by SIGKILL.
  A failed write to the standard output (a full disk, a closed file) is a failure: exit 1.

Files:
  The window keeps the folders last used and the chosen language in TarvikBMP.ini. A copy whose folder
  holds language files (.lng) keeps it there, beside the program; an installed copy keeps it in
  $XDG_CONFIG_HOME/tarvikbmp (default ~/.config/tarvikbmp) and reads its language files and flags from
  share/tarvikbmp under its install prefix.

Environment:
  TARVIKBMP_HOME   one folder for the settings file, the language files and the flags, in any mode
  XDG_CONFIG_HOME  where an installed copy keeps its settings folder)";

constexpr const char* InfoFooter =
    R"(With --json, one object with the keys format ("bmp", "png", "rl" or "unknown"), file_size, width,
height, bit_depth, windows_colors, compressed_colors, alpha_pixels, transparent_pixels, compressible, and for
bitmaps and PNG files fits (plain compress would write it), longest_row_bytes (the longest row's code bytes
as plain compress would write them; null while there are too many colours) and fit_free_combinations
(combinations left after the free step of --fit); a number that does not apply is null.
A file name that starts with "-" follows "--", which ends the options: tarvikbmp info -- -x.bmp)";

int runCommand(int argc, char** argv);

}  // namespace

std::string shown(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](unsigned char byte) {
        constexpr char Digits[] = "0123456789abcdef";
        out += "\\x";
        out += Digits[byte >> 4];
        out += Digits[byte & 15];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            escape(byte);
            escape(next);
            ++i;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

bool wantsCommandLine(int argc, char** argv) {
    if (argc < 2) {
        return false;
    }
    std::string_view first = argv[1];
    if (first.starts_with("-")) {
        return true;
    }
    for (auto name : Subcommands) {
        if (first == name) {
            return true;
        }
    }
    return false;
}

namespace {

// Everything a command prints goes through stdout; a full disk or a closed file behind it must not pass
// for success.
bool standardOutputWritten() {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    std::cout.flush();
    if (flushed && !std::ferror(stdout) && !std::cout.fail()) {
        return true;
    }
    std::fprintf(stderr, "tarvikbmp: cannot write the standard output: %s\n",
                 error != 0 ? std::strerror(error) : "what was printed did not all reach it");
    return false;
}

}  // namespace

int run(int argc, char** argv) {
    tarvik::handleTerminationSignals();
    const int exitCode = runCommand(argc, argv);
    if (!standardOutputWritten() && exitCode == 0) {
        return 1;
    }
    return exitCode;
}

namespace {

int runCommand(int argc, char** argv) {
    CLI::App app{"TarvikBMP - converts 24/32-bit Windows bitmaps to the RL format and back", "tarvikbmp"};
    app.set_version_flag("--version", std::string("tarvikbmp ") + TARVIK_VERSION);
    app.require_subcommand(1);
    int exitCode = 0;
    addImageCommands(app, exitCode);
    addBatchCommand(app, exitCode);
    // Set once the commands exist, so that they do not inherit the program's footer.
    app.footer(HelpFooter);
    for (CLI::App* info : app.get_subcommands([](CLI::App* command) { return command->get_name() == "info"; })) {
        info->footer(InfoFooter);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    } catch (const std::bad_alloc&) {
        // The codecs name the image that did not fit; this is the last net for anything else.
        std::fputs("tarvikbmp: not enough memory\n", stderr);
        return 1;
    }
    return exitCode;
}

}  // namespace

}  // namespace cli
