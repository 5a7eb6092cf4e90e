#include "folder_tab.h"

#include "file_search.h"

namespace batch {

std::string countLabelText(std::size_t fileCount, std::string_view message1, std::string_view message2) {
    if (fileCount == 0) {
        return std::string(message1);
    }
    return std::to_string(fileCount) + std::string(message2);
}

bool startButtonState(bool anyEntryMarked, bool backupFolderExists, bool currentlyEnabled) {
    if (!anyEntryMarked) {
        return false;
    }
    return backupFolderExists ? true : currentlyEnabled;
}

std::string progressLabelText(std::string_view message7, std::size_t index, std::size_t count) {
    std::size_t last = count == 0 ? 0 : count - 1;
    return std::string(message7) + std::to_string(index) + "/" + std::to_string(last);
}

std::string sourceFolderText(std::string_view chosenFolder) {
    std::string text(chosenFolder);
    if (text.size() > 1 && isPathSeparator(text.back())) {
        text.pop_back();
    }
    return text;
}

}  // namespace batch
