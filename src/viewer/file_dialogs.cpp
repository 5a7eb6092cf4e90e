#include "file_dialogs.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

#include "dialog_helpers.h"

namespace viewer {
namespace {

QStringList nameFiltersOf(const std::vector<FileFilter>& filters) {
    QStringList names;
    for (const FileFilter& filter : filters) {
        names << QString::fromStdString(dialogNameFilter(filter));
    }
    return names;
}

}  // namespace

QString QtFileDialogs::openFileName(QWidget* owner, const QString& title, const QString& folder,
                                    const QStringList& nameFilters) {
    return QFileDialog::getOpenFileName(owner, title, folder, nameFilters.join(QStringLiteral(";;")));
}

FileDialogs::SaveChoice QtFileDialogs::saveFileName(QWidget* owner, const QString& title,
                                                    const QString& startPath,
                                                    const QStringList& nameFilters) {
    QFileDialog dialog(owner, title, startPath);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters);
    // The name is completed with its extension after the dialog; only then is it known which file would be
    // replaced, so the question is asked by ShowSaveDialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const qsizetype type = nameFilters.indexOf(dialog.selectedNameFilter());
    return {dialog.selectedFiles().constFirst(), type < 0 ? 1 : static_cast<int>(type) + 1};
}

bool QtFileDialogs::confirmOverwrite(QWidget* owner, const QString& path) {
    QMessageBox box(
        QMessageBox::Question, QStringLiteral("Confirmer l'enregistrement"),
        QStringLiteral("%1 existe déjà.\nVoulez-vous le remplacer ?").arg(QDir::toNativeSeparators(path)),
        QMessageBox::Yes | QMessageBox::No, owner);
    // The rest of the window speaks French; Qt's own button texts would not.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Oui"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Non"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtFileDialogs::existingFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner, title, startFolder, QFileDialog::ShowDirsOnly);
}

void QtFileDialogs::reportWriteFailure(QWidget* owner, const QString& title, const QString& path,
                                       const QString& reason) {
    reportFailure(owner, title,
                  QStringLiteral("Le fichier n'a pas pu être écrit :\n%1\n\n%2")
                      .arg(QDir::toNativeSeparators(path), reason));
}

void QtFileDialogs::reportFailure(QWidget* owner, const QString& title, const QString& message) {
    QMessageBox::warning(owner, title, message);
}

QString ShowOpenDialog(FileDialogs& dialogs, QWidget* owner, std::string_view filter, const QString& title,
                       const QString& initialFolder) {
    return dialogs.openFileName(owner, title, initialFolder, nameFiltersOf(prepareFilter(filter)));
}

QString ShowSaveDialog(FileDialogs& dialogs, QWidget* owner, const QString& defaultName,
                       std::string_view filter, const QString& title, const QString& initialFolder) {
    const std::vector<FileFilter> filters = prepareFilter(filter);
    const QStringList names = nameFiltersOf(filters);
    QString start = initialFolder.isEmpty() ? defaultName : QDir(initialFolder).filePath(defaultName);
    for (;;) {
        const FileDialogs::SaveChoice choice = dialogs.saveFileName(owner, title, start, names);
        if (choice.path.isEmpty()) {
            return {};
        }
        const QString path = QString::fromStdString(
            completeSaveFileName(choice.path.toStdString(), filters, choice.selectedType));
        if (!QFileInfo::exists(path) || dialogs.confirmOverwrite(owner, path)) {
            return path;
        }
        start = path;
    }
}

QString BrowseForFolder(FileDialogs& dialogs, QWidget* owner, const QString& startFolder,
                        const QString& title) {
    return dialogs.existingFolder(owner, title, startFolder);
}

void rememberFolder(const std::filesystem::path& programDir, settings::Folder setting, const std::string& folder) {
    const std::string key = settings::folderKey(setting);
    if (auto stored = settings::writeSetting(programDir, key, folder); !stored) {
        qWarning().noquote() << QString::fromStdString(settings::settingNotStoredText(programDir, key, stored.error()));
    }
}

}  // namespace viewer
