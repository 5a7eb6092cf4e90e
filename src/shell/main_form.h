#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <vector>

#include "caption_strip.h"
#include "image_tab_controls.h"
#include "language.h"
#include "language_list.h"
#include "program_settings.h"
#include "qt_translations.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace shell {

class EtchedFrame;
class LineWidget;
class LinkLabel;
class PictureBox;
class WindowDragger;

// The controls of the single-image page, named as their objectName says: those the image tab's commands use,
// and those that only make up the layout.
struct ImagePageControls : viewer::ImageTabControls {
    PictureBox* PictMenu = nullptr;
    QLabel* LblTitre = nullptr;
    EtchedFrame* Frame1 = nullptr;
    QLabel* LbLTitreInfoBMP = nullptr;
    std::array<QLabel*, 4> LblInfoBmp{};
    EtchedFrame* Frame2 = nullptr;
    QLabel* LbLTitreInfoIMAGE = nullptr;
    PictureBox* Picture1 = nullptr;
    EtchedFrame* Frame3 = nullptr;
    QLabel* LbLTitreIMAGE = nullptr;
    PictureBox* Picture4 = nullptr;
};

// The controls of a batch page. Both pages are built alike; the comments give the compression page's names,
// the decompression page's in brackets.
struct BatchPageControls {
    PictureBox* page = nullptr;              // PictMenu 1 (2)
    QLabel* title = nullptr;                 // LblTitre 1 (2)
    EtchedFrame* folderFrame = nullptr;      // Frame7 (Frame4)
    QLabel* sourceCaption = nullptr;         // LbLDossierComp (LbLDossierDecomp)
    QLineEdit* sourceFolder = nullptr;       // TextCheminComp (TextCheminDecomp)
    QPushButton* chooseSource = nullptr;     // CmdCheminComp (CmdCheminDecomp)
    QListWidget* fileList = nullptr;         // ListComp (ListDecomp)
    QCheckBox* includeSubfolders = nullptr;  // ChkRepComp (ChkRep)
    QLabel* fileCount = nullptr;             // LblNbFichiersComp (LblNbFichiers)
    EtchedFrame* optionsFrame = nullptr;     // lblOptCompress (lblOptDecompress)
    QLabel* backupCaption = nullptr;         // LbLDossierCompSauve (LbLDossierDecompSauve)
    QLineEdit* backupFolder = nullptr;       // TextCheminCompSauve (TextCheminDecompSauve)
    QPushButton* chooseBackup = nullptr;     // CmdCheminCompSauve (CmdCheminDecompSauve)
    QCheckBox* copyOthers = nullptr;         // ChkCopieComp (ChkCopie)
    QPushButton* start = nullptr;            // CmdComp (CmdDecomp)
};

// The program's main window: three stacked pages, painted tab buttons on the right, the language flags, the
// link and the version strip. It knows nothing of images or batches; the modules that give the pages their
// commands find the controls through the accessors below (or by objectName, with the dynamic property "index"
// on array elements) and listen to the signals.
class MainForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int PageCount = 3;
    static inline const QString WindowTitle = QStringLiteral("Tarvik-Vardo BMP Tool");
    static inline const QString WebAddress = QStringLiteral("https://tarvikbmp.example/");

    // Builds the window and runs the start-up sequence: translation, language list, tab titles, page 0 in
    // front, version strip. The language files and flags come from `where.dataFolder`; the settings file
    // lives in `where.settingsFolder`.
    explicit MainForm(const settings::ProgramLocations& where, QWidget* parent = nullptr);
    // A portable copy: `programFolder` holds the settings file, the language files and the flags.
    explicit MainForm(const QString& programFolder, QWidget* parent = nullptr);
    ~MainForm() override;

    QString dataFolder() const { return m_dataFolder; }
    QString settingsFolder() const { return m_settingsFolder; }

    const ImagePageControls& imagePage() const { return m_image; }
    const BatchPageControls& compressionPage() const { return m_batch[0]; }
    const BatchPageControls& decompressionPage() const { return m_batch[1]; }
    PictureBox* page(int index) const;
    PictureBox* tabButton(int index) const;
    PictureBox* versionStrip() const { return m_versionStrip; }
    LinkLabel* linkLabel() const { return m_link; }
    int frontPage() const { return m_frontPage; }

    // The active language file, for texts composed at run time (Message_1 ..) and for other windows'
    // translation.
    settings::Language& language() { return m_language; }
    // Translates this window with the active language file and puts the fixed title back.
    void translate();

    // Flags 1 to languageCount(); flag 0 is the template outside the visible area.
    int languageCount() const { return m_languageBar.count(); }
    int activeLanguage() const { return m_languageBar.activeNumber(); }
    QStringList languageFiles() const;
    PictureBox* languageFlag(int index) const;
    // Whether flag `index` is the framed, raised one.
    bool isActiveFlag(int index) const;

    // Paints the strip of tab `index` again with `title`, as a language change does.
    void setTabTitle(int index, const QString& title);
    QString tabTitle(int index) const;
    QString versionText() const { return m_versionLogo.Caption(); }
    // The locale of the toolkit texts in use ("fr"), empty when they are in English.
    QString toolkitLocale() const { return m_qtTranslations.installed(); }

public slots:
    // Brings page `index` (0, 1 or 2) to the front and repaints the three tab buttons; any other index only
    // repaints. Tabs 1 and 2 first ask for the preview window to close.
    void SelectTab(int index);
    // What a click on flag `index` does: switch the language file, repaint the tab titles, translate,
    // remember.
    void switchLanguage(int index);
    // Hands paths that arrived from the command line or from a later start of the program to whoever opens
    // files.
    void receivePaths(const QStringList& paths);

signals:
    // The preview window (owned elsewhere) must close: a batch tab came to the front, or the window is
    // closing.
    void closePreviewRequested();
    void tabSelected(int index);
    // The language changed and the window has been translated; composed texts should be built again.
    void languageChanged();
    // A file should be opened in this window (from the command line or handed over by a second start).
    void openFileRequested(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    // A file dropped on the window opens as if chosen with "...".
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildWindow();
    void buildImagePage();
    void buildBatchPage(int pageIndex);
    void load();
    void BuildLanguageList();
    PictureBox* createFlag(int number, const QString& picturePath);
    void setFlagActive(int number, bool active);
    void fitCaptions();
    void openWebAddress();

    QString m_dataFolder;
    QString m_settingsFolder;
    WindowDragger* m_dragger = nullptr;
    std::array<PictureBox*, PageCount> m_pages{};
    std::array<PictureBox*, PageCount> m_tabButtons{};
    PictureBox* m_versionStrip = nullptr;
    LineWidget* m_line = nullptr;
    LinkLabel* m_link = nullptr;
    std::vector<PictureBox*> m_flags;  // element 0 is the template
    settings::Language m_language;
    QtTranslations m_qtTranslations;
    settings::LanguageBar m_languageBar;
    ImagePageControls m_image;
    std::array<BatchPageControls, 2> m_batch{};
    std::array<std::unique_ptr<cLogo>, PageCount> m_tabLogos;
    cLogo m_versionLogo;
    int m_frontPage = -1;
};

}  // namespace shell
