#pragma once

// Gives the main window's pages their commands: the image tab, the two batch tabs, and the paths handed to
// the window from the command line or by a later start of the program.

#include <QObject>
#include <QStringList>

#include <memory>

#include "batch_run.h"

namespace viewer {
class FileDialogs;
class ImageTab;
}  // namespace viewer

namespace shell {

class BatchTab;
class MainForm;

class PageCommands : public QObject {
    Q_OBJECT
public:
    // Owned by `form`. Without `dialogs`, Qt's own dialogs answer.
    static PageCommands* attach(MainForm& form, std::shared_ptr<viewer::FileDialogs> dialogs = {});

    viewer::ImageTab* imageTab() const { return m_imageTab; }
    BatchTab* compressionTab() const { return m_compression; }
    BatchTab* decompressionTab() const { return m_decompression; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PageCommands(MainForm& form, std::shared_ptr<viewer::FileDialogs> dialogs);
    void openFile(const QString& path);
    void openWaitingFiles();

    MainForm& m_form;
    std::shared_ptr<viewer::FileDialogs> m_dialogs;
    viewer::ImageTab* m_imageTab = nullptr;
    BatchTab* m_compression = nullptr;
    BatchTab* m_decompression = nullptr;
    // Files handed over before the main window was first drawn, or while a run keeps it hidden; opened when
    // it is on screen, so that the preview can be placed beside it.
    QStringList m_waitingFiles;
    bool m_formDrawn = false;
};

// The hook for runGui.
void attachPageCommands(MainForm& form);

}  // namespace shell
