#pragma once

// The open, save and folder dialogs behind an interface of ours, so that the commands that use them can be
// driven by a test; and the program's dialog procedures built on it, which turn the program's filter
// notation ("Fichier BMP (*.bmp)|*.bmp") into the dialog's and complete a typed name with its extension.

#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>
#include <string_view>

#include "program_settings.h"

class QWidget;

namespace viewer {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // An existing file, or "" when cancelled. `nameFilters` are in Qt's form ("Fichier BMP (*.bmp)").
    virtual QString openFileName(QWidget* owner, const QString& title, const QString& folder,
                                 const QStringList& nameFilters) = 0;

    struct SaveChoice {
        QString path;          // as typed or picked; "" when cancelled
        int selectedType = 1;  // the file type chosen in the dialog, counted from 1
    };
    // Asks for a destination without confirming anything: the caller completes the name first and asks
    // about replacing the completed file itself.
    virtual SaveChoice saveFileName(QWidget* owner, const QString& title, const QString& startPath,
                                    const QStringList& nameFilters) = 0;
    // True when the user agrees to replace the existing file `path`.
    virtual bool confirmOverwrite(QWidget* owner, const QString& path) = 0;

    // A folder, or "" when cancelled.
    virtual QString existingFolder(QWidget* owner, const QString& title, const QString& startFolder) = 0;

    // Tells the user that `path` could not be written and why.
    virtual void reportWriteFailure(QWidget* owner, const QString& title, const QString& path,
                                    const QString& reason) = 0;

    // Tells the user that something other than writing failed; `message` says what and why.
    virtual void reportFailure(QWidget* owner, const QString& title, const QString& message) = 0;
};

// Qt's own dialogs and message boxes.
class QtFileDialogs : public FileDialogs {
public:
    QString openFileName(QWidget* owner, const QString& title, const QString& folder,
                         const QStringList& nameFilters) override;
    SaveChoice saveFileName(QWidget* owner, const QString& title, const QString& startPath,
                            const QStringList& nameFilters) override;
    bool confirmOverwrite(QWidget* owner, const QString& path) override;
    QString existingFolder(QWidget* owner, const QString& title, const QString& startFolder) override;
    void reportWriteFailure(QWidget* owner, const QString& title, const QString& path,
                            const QString& reason) override;
    void reportFailure(QWidget* owner, const QString& title, const QString& message) override;
};

// The chosen file, or "" when cancelled. `filter` is in the program's notation.
QString ShowOpenDialog(FileDialogs& dialogs, QWidget* owner, std::string_view filter, const QString& title,
                       const QString& initialFolder);

// The chosen destination completed with the selected type's extension ("image" becomes "image.bmp"), or ""
// when cancelled. When the completed file exists the user is asked whether to replace it; a "no" brings the
// dialog back, as the system's save dialog stays open after such an answer.
QString ShowSaveDialog(FileDialogs& dialogs, QWidget* owner, const QString& defaultName,
                       std::string_view filter, const QString& title, const QString& initialFolder);

// The chosen folder, or "" when cancelled. It is taken as it comes: names may end with blanks here.
QString BrowseForFolder(FileDialogs& dialogs, QWidget* owner, const QString& startFolder,
                        const QString& title);

// Stores `folder` in the settings file as the place the next dialog of that kind starts in. A failure is told
// on standard error with the file and the reason; the work the user is doing goes on.
void rememberFolder(const std::filesystem::path& programDir, settings::Folder setting, const std::string& folder);

}  // namespace viewer
