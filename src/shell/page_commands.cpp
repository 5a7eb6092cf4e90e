#include "page_commands.h"

#include <QEvent>
#include <QTimer>

#include "batch_tab.h"
#include "file_dialogs.h"
#include "image_tab.h"
#include "main_form.h"
#include "window_support.h"

namespace shell {
namespace {

// A window that is never drawn (started minimized, say) still opens its files after this long.
constexpr int FirstDrawTimeoutMs = 2000;

}  // namespace

PageCommands* PageCommands::attach(MainForm& form, std::shared_ptr<viewer::FileDialogs> dialogs) {
    if (!dialogs) {
        dialogs = std::make_shared<viewer::QtFileDialogs>();
    }
    return new PageCommands(form, std::move(dialogs));
}

PageCommands::PageCommands(MainForm& form, std::shared_ptr<viewer::FileDialogs> dialogs)
    : QObject(&form), m_form(form), m_dialogs(std::move(dialogs)) {
    m_imageTab = new viewer::ImageTab(
        form.imagePage(), form.language(), viewer::toPath(form.settingsFolder()), *m_dialogs, this);
    m_compression = new BatchTab(form, batch::Direction::Compress, *m_dialogs, this);
    m_decompression = new BatchTab(form, batch::Direction::Decompress, *m_dialogs, this);

    connect(&form, &MainForm::closePreviewRequested, m_imageTab, &viewer::ImageTab::closePreview);
    connect(&form, &MainForm::openFileRequested, this, &PageCommands::openFile);
    connect(&form, &MainForm::languageChanged, m_imageTab, &viewer::ImageTab::refreshTexts);
    for (BatchTab* tab : {m_compression, m_decompression}) {
        connect(&form, &MainForm::languageChanged, tab, &BatchTab::refreshTexts);
        connect(tab, &BatchTab::runFinished, this, &PageCommands::openWaitingFiles);
    }
    // The window manager gives the main window its place only once it is mapped; the first paint comes after.
    form.installEventFilter(this);
    QTimer::singleShot(FirstDrawTimeoutMs, this, [this] {
        m_formDrawn = true;
        openWaitingFiles();
    });
}

bool PageCommands::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_form && event->type() == QEvent::Paint && !m_formDrawn) {
        m_formDrawn = true;
        QTimer::singleShot(0, this, &PageCommands::openWaitingFiles);
    }
    return QObject::eventFilter(watched, event);
}

void PageCommands::openFile(const QString& path) {
    if (!m_formDrawn || m_compression->isRunning() || m_decompression->isRunning()) {
        m_waitingFiles << path;
        return;
    }
    // The file is opened where the user will see it.
    if (m_form.frontPage() != 0) {
        m_form.SelectTab(0);
    }
    m_imageTab->openFile(path);
}

void PageCommands::openWaitingFiles() {
    const QStringList waiting = std::exchange(m_waitingFiles, {});
    for (const QString& path : waiting) {
        openFile(path);
    }
}

void attachPageCommands(MainForm& form) {
    PageCommands::attach(form);
}

}  // namespace shell
