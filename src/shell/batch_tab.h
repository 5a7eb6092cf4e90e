#pragma once

// The window side of a batch tab: choosing the source and backup folders, the list of bitmaps found with
// their marks, the count label, the start button's rule, and the run itself, which works on threads of the
// batch engine while FrmTravail shows its progress and the main window is hidden.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "batch_run.h"
#include "frm_travail.h"
#include "main_form.h"
#include "program_settings.h"

class QListWidgetItem;

namespace viewer {
class FileDialogs;
}

namespace shell {

class BatchTab : public QObject {
    Q_OBJECT
public:
    // The tab of `direction` on `form`: the compression page for Compress, the decompression page for
    // Decompress. `dialogs` answers the folder browser.
    BatchTab(MainForm& form, batch::Direction direction, viewer::FileDialogs& dialogs,
             QObject* parent = nullptr);
    ~BatchTab() override;

    const BatchPageControls& controls() const { return m_c; }
    batch::Direction direction() const { return m_direction; }
    // The list's entries, full paths in list order.
    std::vector<std::string> entries() const;
    bool isRunning() const { return m_running; }
    // The progress window while a run is under way.
    FrmTravail* progressWindow() const { return m_progress; }

public slots:
    // CmdCheminComp / CmdCheminDecomp, CmdCheminCompSauve / CmdCheminDecompSauve.
    void chooseSourceFolder();
    void chooseBackupFolder();
    // ChkRepComp / ChkRep toggled.
    void includeSubfoldersChanged();
    // A click on an entry toggles its mark; on the decompression tab the start button follows.
    void entryClicked(QListWidgetItem* item);
    // UpdateCompButton / UpdateDecompButton.
    void updateStartButton();
    // CmdComp / CmdDecomp.
    void start();
    // The count label follows the active language.
    void refreshTexts();

public:
    // The report after a run in which files were skipped or failed, in the active language: the counts
    // (and the reasons of the skips and failures), and in its details each file not converted with its
    // reason. Empty when every file was converted or copied.
    struct Report {
        QString title, text, details;
    };
    static Report makeReport(const batch::Summary& summary, const std::vector<batch::EntryResult>& notConverted,
                             settings::Language& language);

signals:
    // The main window is back after a run, complete or cancelled.
    void runFinished(const batch::Summary& summary);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Forwarder;

    void fillList();
    void setCountLabel();
    QString startFolder(settings::Folder setting) const;
    std::filesystem::path programFolderPath() const;
    void showProgress();
    void launch(batch::Plan plan);
    void finishRun(const batch::Summary& summary);
    void showReport(const batch::Summary& summary);

    MainForm& m_form;
    BatchPageControls m_c;
    batch::Direction m_direction;
    viewer::FileDialogs& m_dialogs;
    settings::Folder m_sourceSetting = settings::Folder::CompressSource;
    settings::Folder m_backupSetting = settings::Folder::CompressBackup;
    bool m_listed = false;
    std::vector<batch::UnlistedFolder> m_unlisted;  // of the last listing, failed entries of each run
    QPoint m_formPosition;

    std::atomic<bool> m_cancelRequested{false};
    std::atomic<std::size_t> m_finished{0};
    std::atomic<bool> m_progressPosted{false};
    bool m_running = false;  // from the start click until the main window is back
    std::thread m_worker;
    // Entries skipped or failed, gathered by the run's thread; read once it has ended.
    std::vector<batch::EntryResult> m_notConverted;
    QPointer<FrmTravail> m_progress;
};

}  // namespace shell
