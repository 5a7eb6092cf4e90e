#include "main_form.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileInfo>
#include <QUrl>

#include "color_value.h"
#include "design_widgets.h"
#include "picture_box.h"
#include "program_settings.h"
#include "twips.h"
#include "version.h"
#include "widget_translation.h"
#include "window_drag.h"
#include "window_support.h"

namespace shell {
namespace {

constexpr std::uint32_t FrontTabColor = 0x404040;
constexpr std::uint32_t BackTabColor = 0x606060;
constexpr std::uint32_t FrontTabText = 0xFFFFFF;
constexpr std::uint32_t BackTabText = 0x000000;
constexpr int TabTextOffset = 3;
constexpr int VersionTextOffset = 1;
constexpr int PageOutOfSightTwips = -5000;

using viewer::fromPath;
using viewer::toPath;

// A language that could not be loaded or stored leaves the window as usable as before, so it is no reason
// for a message box; the reason goes to standard error.
void warnAll(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) {
        qWarning().noquote() << QString::fromStdString(warning);
    }
}

}  // namespace

MainForm::MainForm(const QString& programFolder, QWidget* parent)
    : MainForm(settings::ProgramLocations{toPath(programFolder), toPath(programFolder), false}, parent) {}

MainForm::MainForm(const settings::ProgramLocations& where, QWidget* parent)
    : QWidget(parent),
      m_dataFolder(fromPath(where.dataFolder)),
      m_settingsFolder(fromPath(where.settingsFolder)),
      m_languageBar(where.dataFolder, where.settingsFolder) {
    m_language.setCreatesMissingFile(!where.installed);
    m_qtTranslations.setDataFolder(m_dataFolder);
    setAcceptDrops(true);
    buildWindow();
    load();
}

MainForm::~MainForm() = default;

PictureBox* MainForm::page(int index) const {
    return index >= 0 && index < PageCount ? m_pages[index] : nullptr;
}

PictureBox* MainForm::tabButton(int index) const {
    return index >= 0 && index < PageCount ? m_tabButtons[index] : nullptr;
}

QStringList MainForm::languageFiles() const {
    QStringList files;
    for (const settings::LanguageEntry& entry : m_languageBar.languages()) {
        files << fromPath(entry.file);
    }
    return files;
}

PictureBox* MainForm::languageFlag(int index) const {
    return index >= 0 && index < static_cast<int>(m_flags.size()) ? m_flags[index] : nullptr;
}

bool MainForm::isActiveFlag(int index) const {
    const PictureBox* flag = languageFlag(index);
    return index > 0 && flag != nullptr && flag->hasBorder();
}

void MainForm::load() {
    m_language.setLanguageFilePath(settings::startupLanguageFilePath(toPath(m_dataFolder)));
    translate();
    BuildLanguageList();
    for (int k = 0; k < PageCount; ++k) {
        m_tabLogos[k] = std::make_unique<cLogo>();
        m_tabLogos[k]->setDrawingObject(m_tabButtons[k]);
        m_tabLogos[k]->setCaption(QString::fromStdString(m_language.menuTitle(k)));
        m_tabLogos[k]->setXDecal(TabTextOffset);
    }
    SelectTab(0);
    m_versionLogo.setDrawingObject(m_versionStrip);
    m_versionLogo.setCaption(QStringLiteral("Version: " TARVIK_VERSION));
    m_versionLogo.setXDecal(VersionTextOffset);
    m_versionLogo.setStartColor(FrontTabColor);
    m_versionLogo.setEndColor(FrontTabColor);
    m_versionLogo.Draw();
}

void MainForm::BuildLanguageList() {
    const settings::LanguageStart started = m_languageBar.start(m_language);
    warnAll(started.warnings);
    const int active = started.active;
    const std::vector<settings::LanguageEntry>& languages = m_languageBar.languages();
    for (std::size_t i = 0; i < languages.size(); ++i) {
        const QString picture = languages[i].flag ? fromPath(*languages[i].flag) : QString();
        const int number = static_cast<int>(i) + 1;
        PictureBox* flag = createFlag(number, picture);
        connect(flag, &PictureBox::clicked, this, [this, number] { switchLanguage(number); });
        m_flags.push_back(flag);
    }
    setFlagActive(active, true);
    translate();
}

void MainForm::setFlagActive(int number, bool active) {
    PictureBox* flag = languageFlag(number);
    if (flag == nullptr || number == 0) {
        return;
    }
    const settings::FlagPlacement place = settings::flagPlacement(number, active);
    flag->move(twipsToPixels(place.left), twipsToPixels(place.top));
    flag->setBorder(place.framed);
}

void MainForm::translate() {
    // The toolkit's texts first, so that every dialog opened from now on speaks the language.
    m_qtTranslations.apply(QString::fromStdString(m_language.GetLangString("Locale")));
    TranslateForm(this, m_language);
    fitCaptions();
    // The title is fixed whatever the language file says for "MainForm".
    setWindowTitle(WindowTitle);
}

void MainForm::setTabTitle(int index, const QString& title) {
    if (index < 0 || index >= PageCount || !m_tabLogos[index]) {
        return;
    }
    cLogo& logo = *m_tabLogos[index];
    logo.setDrawingObject(m_tabButtons[index]);
    logo.setCaption(title);
    logo.setXDecal(TabTextOffset);
    logo.Draw();
}

QString MainForm::tabTitle(int index) const {
    return index >= 0 && index < PageCount && m_tabLogos[index] ? m_tabLogos[index]->Caption() : QString();
}

void MainForm::SelectTab(int index) {
    if (index >= 0 && index < PageCount) {
        if (index != 0) {
            emit closePreviewRequested();
        }
        // Qt composes the whole window before showing it, so the new page and the old ones change places in
        // one frame; there is no need to let pending events run in between.
        PictureBox* front = m_pages[index];
        front->move(0, front->y());
        for (int k = 0; k < PageCount; ++k) {
            if (k != index) {
                m_pages[k]->move(twipsToPixels(PageOutOfSightTwips), m_pages[k]->y());
            }
        }
        for (int k = 0; k < PageCount; ++k) {
            const bool isFront = k == index;
            m_tabButtons[k]->setForeColor(controls::colorForPainting(isFront ? FrontTabText : BackTabText));
            m_tabLogos[k]->setStartColor(isFront ? FrontTabColor : BackTabColor);
            m_tabLogos[k]->setEndColor(isFront ? FrontTabColor : BackTabColor);
        }
        m_frontPage = index;
    }
    for (int k = 0; k < PageCount; ++k) {
        m_tabLogos[k]->Draw();
    }
    if (index >= 0 && index < PageCount) {
        emit tabSelected(index);
    }
}

void MainForm::switchLanguage(int index) {
    const std::optional<settings::LanguageSwitch> change = m_languageBar.switchTo(index, m_language);
    if (!change) {
        return;
    }
    warnAll(change->warnings);
    setFlagActive(change->lowered, false);
    for (int k = 0; k < PageCount; ++k) {
        setTabTitle(k, QString::fromStdString(change->tabTitles[static_cast<std::size_t>(k)]));
    }
    translate();
    setFlagActive(change->raised, true);
    emit languageChanged();
}

void MainForm::receivePaths(const QStringList& paths) {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    for (const QString& path : paths) {
        emit openFileRequested(path);
    }
}

void MainForm::openWebAddress() {
    // Whether a browser could be started is not reported; the link simply does nothing then.
    QDesktopServices::openUrl(QUrl(WebAddress));
}

namespace {

// The first local file among the dropped items; a folder or a remote address is nothing to open.
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

}  // namespace

void MainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainForm::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    emit openFileRequested(path);
}

void MainForm::closeEvent(QCloseEvent* event) {
    emit closePreviewRequested();
    while (m_flags.size() > 1) {
        delete m_flags.back();
        m_flags.pop_back();
    }
    event->accept();
}

}  // namespace shell
