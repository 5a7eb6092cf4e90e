#pragma once

// The rules a batch tab and its progress window apply to texts and buttons, kept apart from any toolkit so
// the window and the command line show the same thing.

#include <cstddef>
#include <string>
#include <string_view>

namespace batch {

// Text of the file-count label: the number of files found followed directly by the "Message_2" text, or
// the "Message_1" text for an empty list. Ten files show "10", not "9".
std::string countLabelText(std::size_t fileCount, std::string_view message1, std::string_view message2);

// The start button's next state. No marked entry disables it; a marked entry enables it only when the
// backup folder exists (PathExists of the backup folder box); otherwise the button keeps its state.
bool startButtonState(bool anyEntryMarked, bool backupFolderExists, bool currentlyEnabled);

// Text of the progress window's position label: the "Message_7" text, the zero-based position, "/", and
// the last position, so the first of ten entries shows "0/9" and a single entry "0/0".
std::string progressLabelText(std::string_view message7, std::size_t index, std::size_t count);

// What the source folder box holds for a chosen folder: one trailing separator dropped, except that a root
// keeps its only character so the box never turns empty. The backup folder box takes the choice as given.
std::string sourceFolderText(std::string_view chosenFolder);

}  // namespace batch
