#pragma once

// The commands of the image tab: open one file ("..."), write a loaded RL image as a Windows bitmap
// ("Sauver (BMP)"), write a loaded bitmap in the RL format ("Compression"), and the display-mode choice of
// the preview. The tab owns its ImageModel and the preview window; the codecs do the reading and writing.

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "fitter.h"
#include "frm_image.h"
#include "image_model.h"
#include "image_panel.h"
#include "image_tab_controls.h"
#include "language.h"
#include "program_settings.h"
#include "window_support.h"

class QWidget;

namespace viewer {

class FileDialogs;

class ImageTab : public QObject {
    Q_OBJECT
public:
    // Bitmaps first, the dialog's default; PNG files load as the bitmap of their pixels.
    static constexpr std::string_view OpenFilter = "Fichier BMP (*.bmp)|*.bmp|Fichier PNG (*.png)|*.png";
    static constexpr std::string_view BitmapSaveFilter = "Fichier image (*.bmp)|*.bmp;";
    static constexpr std::string_view CompressedSaveFilter = "Fichier image compressé(*.bmp)|*.bmp;";
    static inline const QString BitmapSaveTitle = QStringLiteral("Création d'un fichier image BMP");
    static inline const QString CompressedSaveTitle =
        QStringLiteral("Création d'un fichier image compressé BMP");

    // Connects the controls' clicks. `language` gives the preview's title prefix ("Message_8"); the settings
    // file in `programFolder` remembers the dialogs' folders ("Folder1" to "Folder3").
    ImageTab(const ImageTabControls& controls, settings::Language& language,
             std::filesystem::path programFolder, FileDialogs& dialogs, QObject* parent = nullptr);
    ~ImageTab() override;

    const imaging::ImageModel& model() const { return m_model; }
    const ImagePanel& panel() const { return m_panel; }
    // The preview window while it is open.
    FrmImage* preview() const { return m_preview; }

public slots:
    void CmdOuvrirBMP_Click();
    // Opens `path` as if it had been chosen in the open dialog.
    void openFile(const QString& path);
    void CmdSaveBMP_Click();
    void CmdCompressRL_Click();
    void OptAffichage_Click(int index);
    void LblOpt_Click(int index);
    void closePreview();
    // The preview's title follows the active language.
    void refreshTexts();

public:
    // Draw the model into the preview, show it beside the main window in mode 0; false when it cannot be
    // drawn. The RL preview also fills the panel's alpha counters from what it met.
    bool ShowBitmapPreview();
    bool ShowCompressedPreview();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadFile(const QString& path);
    bool showPreview(PixelOrder order, PreviewCounts& counts);
    void previewOptionsChanged(const PreviewOptions& before, const PreviewOptions& now);
    // Gives the preview the image as the RL file will show it, when its options need it and it has none.
    // For a bitmap this is worked out off the GUI thread.
    void provideShownImage();
    void startShownJob();
    void shownJobFinished();
    // "Reduce and compress...": the fitted image in the preview, then the save dialog for its RL file.
    void reduceAndCompress();
    void saveFitted();
    PreviewTexts previewTexts();
    void applyPanel();
    void setButtons(bool canSaveBitmap, bool canCompress);
    QString readFolder(settings::Folder folder) const;
    void writeFolder(settings::Folder folder, const QString& path) const;
    using SaveFunction = tarvik::Status (*)(const std::filesystem::path&, const imaging::ImageModel&);
    // Asks where to write the loaded image, remembers the folder and writes it with `save`.
    void saveModel(std::string_view filter, const QString& title, settings::Folder folder, SaveFunction save);
    void reportFailure(const QString& title, const QString& path, const tarvik::Error& error);

    ImageTabControls m_c;
    settings::Language& m_language;
    std::filesystem::path m_programFolder;
    FileDialogs& m_dialogs;
    imaging::ImageModel m_model;
    ImagePanel m_panel;
    QPointer<FrmImage> m_preview;
    // The model came from an RL file: it is what the target program shows already.
    bool m_modelIsCompressed = false;

public:
    // What the RL file makes of the loaded bitmap: the file, the image it gives back, where that differs
    // from the bitmap, and, when the bitmap had to be reduced first, what fitting did.
    struct ShownImage {
        std::vector<std::uint8_t> file;
        std::shared_ptr<imaging::ImageModel> image;
        std::vector<std::uint8_t> differences;
        std::optional<fitting::FitReport> fit;
        std::string failure;  // why no RL file can hold the image; empty on success
    };
    // Whether that is being worked out now.
    bool shownImagePending() const { return m_shownJob != nullptr; }

private:
    std::shared_ptr<const ShownImage> m_shownImage;
    QFutureWatcher<ShownImage>* m_shownJob = nullptr;
    std::unique_ptr<BusyCursor> m_shownBusy;
    bool m_saveWhenShown = false;
};

}  // namespace viewer
