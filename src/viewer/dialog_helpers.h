#pragma once

// The toolkit-neutral side of the open and save dialogs: the program's filter notation, completing a
// typed file name with the selected type's extension, and the folder remembered for the next dialog.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

struct FileFilter {
    std::string description;  // "Fichier BMP (*.bmp)"
    std::string pattern;      // "*.bmp", or "*.bmp;" in the save filters; several patterns are ";"-separated
};

// "Description|pattern|Description|pattern|" (the last "|" may be missing) as description/pattern
// pairs. As in the system dialog that reads the NUL-separated form, the list ends at the first empty
// description or at a description without a pattern.
std::vector<FileFilter> prepareFilter(std::string_view filter);

// The extension a pattern stands for: what follows its first "*" up to the next ";" (".bmp" for
// "*.bmp;"). Empty when the pattern has no "*" or names no single extension ("*", "*.*", "*.b?p").
std::string patternExtension(std::string_view pattern);

// A filter in the form Qt's file dialogs take: "Description (pat1 pat2)". A description that already
// ends with its patterns in brackets, like "Fichier BMP (*.bmp)", is used as it stands.
std::string dialogNameFilter(const FileFilter& filter);

// The save dialog's result completed with the selected type's extension. `selectedType` counts from 1
// (out-of-range values are clamped). The name is kept as it is when it already ends, in any case,
// with the extension of the selected type or of a type listed before it; otherwise the selected type's
// extension is appended: "image" -> "image.bmp", "image.png" -> "image.png.bmp", "IMAGE.BMP" stays.
// An empty result (cancelled dialog) stays empty.
std::string completeSaveFileName(std::string_view chosen, std::span<const FileFilter> filters,
                                 int selectedType);

// The folder to remember for a chosen file: its path cut before the last "/" ("/home/u/a.bmp" ->
// "/home/u"). A file in the root folder gives "/", a bare name without folder gives "".
std::string folderOfPath(std::string_view path);

}  // namespace viewer
