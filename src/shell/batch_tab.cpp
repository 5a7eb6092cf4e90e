#include "batch_tab.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

#include <algorithm>

#include "file_dialogs.h"
#include "file_search.h"
#include "folder_tab.h"
#include "frm_travail.h"
#include "program_settings.h"
#include "window_support.h"

namespace shell {
namespace {

constexpr std::string_view BitmapPattern = "*.bmp";
constexpr int EntryPathRole = Qt::UserRole;

using viewer::pathBytes;
using viewer::pathText;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace

std::filesystem::path BatchTab::programFolderPath() const {
    return std::filesystem::path(pathBytes(m_form.settingsFolder()));
}

// Hands the engine's reports to the window's thread, at most one pending at a time: a fast run reports
// thousands of entries a second and the window needs only the latest position.
class BatchTab::Forwarder : public batch::RunObserver {
public:
    explicit Forwarder(BatchTab& tab) : m_tab(tab) {}
    void onEntry(const batch::EntryResult& result, batch::Progress progress) override {
        if (result.outcome == batch::Outcome::Skipped || result.outcome == batch::Outcome::Failed) {
            m_tab.m_notConverted.push_back(result);
        }
        m_tab.m_finished = progress.position;
        if (!m_tab.m_progressPosted.exchange(true)) {
            QMetaObject::invokeMethod(
                &m_tab, [tab = &m_tab] { tab->showProgress(); }, Qt::QueuedConnection);
        }
    }

private:
    BatchTab& m_tab;
};

BatchTab::BatchTab(MainForm& form, batch::Direction direction, viewer::FileDialogs& dialogs, QObject* parent)
    : QObject(parent),
      m_form(form),
      m_c(direction == batch::Direction::Compress ? form.compressionPage() : form.decompressionPage()),
      m_direction(direction),
      m_dialogs(dialogs) {
    const bool compress = direction == batch::Direction::Compress;
    m_sourceSetting = compress ? settings::Folder::CompressSource : settings::Folder::DecompressSource;
    m_backupSetting = compress ? settings::Folder::CompressBackup : settings::Folder::DecompressBackup;
    connect(m_c.chooseSource, &QPushButton::clicked, this, &BatchTab::chooseSourceFolder);
    connect(m_c.chooseBackup, &QPushButton::clicked, this, &BatchTab::chooseBackupFolder);
    connect(m_c.includeSubfolders, &QCheckBox::toggled, this, &BatchTab::includeSubfoldersChanged);
    connect(m_c.fileList, &QListWidget::itemClicked, this, &BatchTab::entryClicked);
    connect(m_c.start, &QPushButton::clicked, this, &BatchTab::start);
    m_c.fileList->installEventFilter(this);
    m_c.fileList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

BatchTab::~BatchTab() {
    if (m_worker.joinable()) {
        m_cancelRequested = true;
        m_worker.join();
    }
    delete m_progress;
}

std::vector<std::string> BatchTab::entries() const {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(m_c.fileList->count()));
    for (int i = 0; i < m_c.fileList->count(); ++i) {
        paths.push_back(m_c.fileList->item(i)->data(EntryPathRole).toByteArray().toStdString());
    }
    return paths;
}

QString BatchTab::startFolder(settings::Folder setting) const {
    const std::string stored = settings::readSetting(programFolderPath(), settings::folderKey(setting), "c:\\");
    // "c:\" is where the browser starts on the system the settings file was made for; a folder that is not
    // there opens the browser in the home folder.
    const QString folder = pathText(stored);
    return QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void BatchTab::chooseSourceFolder() {
    const QString chosen = viewer::BrowseForFolder(m_dialogs, &m_form, startFolder(m_sourceSetting),
                                                   text(m_form.language().message(4)));
    if (!chosen.isEmpty()) {
        const std::string folder = batch::sourceFolderText(pathBytes(chosen));
        viewer::rememberFolder(programFolderPath(), m_sourceSetting, folder);
        m_c.sourceFolder->setText(pathText(folder));
        fillList();
        setCountLabel();
    }
    updateStartButton();
}

void BatchTab::chooseBackupFolder() {
    const QString chosen = viewer::BrowseForFolder(m_dialogs, &m_form, startFolder(m_backupSetting),
                                                   text(m_form.language().message(3)));
    if (!chosen.isEmpty()) {
        m_c.backupFolder->setText(chosen);
        viewer::rememberFolder(programFolderPath(), m_backupSetting, batch::sourceFolderText(pathBytes(chosen)));
        // A backup folder inside the listed tree leaves the list, or a run would convert its own output.
        std::string inside = batch::sourceFolderText(pathBytes(chosen));
        inside += batch::pathSeparator();
        const std::vector<std::string> listed = entries();
        if (std::any_of(listed.begin(), listed.end(), [&](const std::string& entry) { return entry.starts_with(inside); })) {
            fillList();
            setCountLabel();
        }
    }
    updateStartButton();
}

void BatchTab::includeSubfoldersChanged() {
    if (!m_c.sourceFolder->text().isEmpty()) {
        fillList();
        setCountLabel();
    }
    updateStartButton();
}

void BatchTab::entryClicked(QListWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    // The compression list has no click handler of its own: its button waits for the next folder choice.
    if (m_direction == batch::Direction::Decompress) {
        updateStartButton();
    }
}

bool BatchTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_c.fileList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        entryClicked(m_c.fileList->currentItem());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void BatchTab::updateStartButton() {
    bool anyMarked = false;
    for (int i = 0; i < m_c.fileList->count() && !anyMarked; ++i) {
        anyMarked = m_c.fileList->item(i)->checkState() == Qt::Checked;
    }
    const bool backupExists = batch::PathExists(pathBytes(m_c.backupFolder->text()));
    m_c.start->setEnabled(batch::startButtonState(anyMarked, backupExists, m_c.start->isEnabled()));
}

void BatchTab::fillList() {
    viewer::BusyCursor busy;
    m_c.fileList->clear();
    // The backup folder is left out: a run would otherwise take an earlier run's output for source files.
    batch::Listing listing = batch::ListFiles(pathBytes(m_c.sourceFolder->text()), BitmapPattern,
                                              m_c.includeSubfolders->isChecked(),
                                              pathBytes(m_c.backupFolder->text()));
    const std::vector<std::string>& files = listing.files;
    m_unlisted = std::move(listing.unlisted);
    m_c.fileList->setUpdatesEnabled(false);
    for (const std::string& path : files) {
        auto* item = new QListWidgetItem(pathText(path));
        // The mark is toggled by a click anywhere on the entry (entryClicked), not only on its box.
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Checked);
        item->setData(EntryPathRole, QByteArray::fromStdString(path));
        m_c.fileList->addItem(item);
    }
    m_c.fileList->setUpdatesEnabled(true);
    m_listed = true;
}

void BatchTab::setCountLabel() {
    settings::Language& language = m_form.language();
    m_c.fileCount->setText(text(batch::countLabelText(static_cast<std::size_t>(m_c.fileList->count()),
                                                      language.message(1), language.message(2))));
}

void BatchTab::refreshTexts() {
    if (m_listed) {
        setCountLabel();
    }
}

void BatchTab::start() {
    if (isRunning() || m_c.fileList->count() == 0) {
        return;
    }
    batch::Plan plan;
    plan.direction = m_direction;
    plan.entries = entries();
    plan.sourceFolder = pathBytes(m_c.sourceFolder->text());
    plan.backupFolder = pathBytes(m_c.backupFolder->text());
    plan.copyOthers = m_c.copyOthers->isChecked();
    plan.jobs = 0;
    plan.unlistedFolders = m_unlisted;

    settings::Language& language = m_form.language();
    const bool compress = m_direction == batch::Direction::Compress;
    delete m_progress;
    m_progress = new FrmTravail(language, m_cancelRequested);
    m_progress->setWindowTitle(text(language.message(compress ? 5 : 6)));
    m_progress->startRun(plan.entries.size(), language.message(7));
    m_cancelRequested = false;
    m_notConverted.clear();
    m_finished = 0;
    m_progressPosted = false;
    // Where the main window was, so the progress shows where the user was looking.
    QRect area = m_progress->frameGeometry();
    area.moveCenter(m_form.frameGeometry().center());
    m_progress->move(area.topLeft());
    m_progress->show();
    m_form.setEnabled(false);
    m_formPosition = m_form.frameGeometry().topLeft();
    m_form.hide();
    m_running = true;
    // The run starts once the progress window has had its first paint, so that it never shows blank while
    // the workers take both cores, and an "Annuler" pressed at once stops it before any file is written.
    QMetaObject::invokeMethod(
        this, [this, plan = std::move(plan)]() mutable { launch(std::move(plan)); }, Qt::QueuedConnection);
}

void BatchTab::launch(batch::Plan plan) {
    m_worker = std::thread([this, plan = std::move(plan)] {
        Forwarder forwarder(*this);
        const batch::Summary summary = batch::run(plan, forwarder, m_cancelRequested);
        QMetaObject::invokeMethod(
            this, [this, summary] { finishRun(summary); }, Qt::QueuedConnection);
    });
}

void BatchTab::showProgress() {
    m_progressPosted = false;
    if (m_progress) {
        m_progress->showProgress(m_finished);
    }
}

void BatchTab::finishRun(const batch::Summary& summary) {
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_running = false;
    m_progressPosted = false;
    if (m_progress) {
        m_progress->showProgress(m_finished);
        m_progress->endRun();
    }
    // The main window comes back before the progress window goes, so that the program never has no window.
    // Named before the window maps again: some window managers place a window shown again as if it were new
    // unless it asks for its place.
    if (QWindow* window = m_form.windowHandle()) {
        m_form.setAttribute(Qt::WA_Moved);
        window->setFramePosition(m_formPosition);
    }
    m_form.show();
    m_form.setEnabled(true);
    if (m_progress) {
        m_progress->close();
        m_progress->deleteLater();
    }
    showReport(summary);
    emit runFinished(summary);
}

namespace {

// Language key and built-in French text of each reason.
std::pair<const char*, const char*> reasonKey(batch::Reason reason) {
    switch (reason) {
        case batch::Reason::None: return {"", ""};
        case batch::Reason::Vanished: return {"BatchReason_Vanished", "fichier disparu"};
        case batch::Reason::UnknownType: return {"BatchReason_UnknownType", "type de fichier inconnu"};
        case batch::Reason::LoadFailed: return {"BatchReason_LoadFailed", "image illisible"};
        case batch::Reason::TooManyColours: return {"BatchReason_TooManyColours", "trop de couleurs"};
        case batch::Reason::WriterRefused: return {"BatchReason_WriterRefused", "refusée à l'écriture"};
        case batch::Reason::CopyOff: return {"BatchReason_CopyOff", "déjà au bon format, non copiée"};
        case batch::Reason::ReadFailed: return {"BatchReason_ReadFailed", "lecture impossible"};
        case batch::Reason::FolderFailed: return {"BatchReason_FolderFailed", "dossier impossible à créer"};
        case batch::Reason::WriteFailed: return {"BatchReason_WriteFailed", "écriture impossible"};
        case batch::Reason::NotBelowSource: return {"BatchReason_NotBelowSource", "hors du dossier source"};
        case batch::Reason::BitmapBeside: return {"BatchReason_BitmapBeside", "un .bmp du même nom est à côté"};
        case batch::Reason::NoMemory: return {"BatchReason_NoMemory", "mémoire insuffisante"};
        case batch::Reason::FolderUnlisted: return {"BatchReason_FolderUnlisted", "dossier illisible"};
    }
    return {"", ""};
}

}  // namespace

BatchTab::Report BatchTab::makeReport(const batch::Summary& summary,
                                      const std::vector<batch::EntryResult>& notConverted,
                                      settings::Language& language) {
    if (summary.skipped == 0 && summary.failed == 0) {
        return {};
    }
    // A language file without the key keeps the window's French.
    auto lang = [&language](const char* key, const char* french) {
        const std::string found = language.GetLangString(key);
        return found.empty() ? QString::fromUtf8(french) : text(found);
    };
    Report report;
    report.title = lang("BatchReport_Title", "Bilan du traitement");
    QString counts = lang("BatchReport_Counts", "%1 fichier(s) converti(s), %2 copié(s), %3 ignoré(s), %4 en échec.");
    if (!counts.contains(QLatin1String("%4"))) {
        counts = QStringLiteral("%1 fichier(s) converti(s), %2 copié(s), %3 ignoré(s), %4 en échec.");
    }
    report.text = counts.arg(summary.converted).arg(summary.copied).arg(summary.skipped).arg(summary.failed);
    for (std::size_t r = 0; r < batch::ReasonCount; ++r) {
        const auto reason = static_cast<batch::Reason>(r);
        if (reason != batch::Reason::None && summary.byReason[r] > 0) {
            const auto [key, french] = reasonKey(reason);
            report.text += QStringLiteral("\n  %1 : %2").arg(lang(key, french)).arg(summary.byReason[r]);
        }
    }
    if (summary.cancelled) {
        report.text += QLatin1Char('\n') + lang("BatchReport_Cancelled", "Traitement interrompu.");
    }
    report.details = lang("BatchReport_Details", "Fichiers non convertis :");
    for (const batch::EntryResult& result : notConverted) {
        const auto [key, french] = reasonKey(result.reason);
        report.details += QLatin1Char('\n') + pathText(result.entry) + QStringLiteral(" : ") + lang(key, french);
        // The reader's or writer's own words say which part of the file was wrong.
        if (!result.detail.empty()) {
            report.details += QStringLiteral(" (") + text(result.detail) + QLatin1Char(')');
        }
    }
    return report;
}

void BatchTab::showReport(const batch::Summary& summary) {
    const Report report = makeReport(summary, m_notConverted, m_form.language());
    m_notConverted.clear();
    if (report.title.isEmpty()) {
        return;
    }
    // Owned by the main window and not waited for: the window stays usable, the box stays above it.
    auto* box = new QMessageBox(summary.failed > 0 ? QMessageBox::Warning : QMessageBox::Information,
                                report.title, report.text, QMessageBox::Ok, &m_form);
    box->setObjectName(QStringLiteral("BatchReport"));
    box->setDetailedText(report.details);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace shell
