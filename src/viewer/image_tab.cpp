#include "image_tab.h"

#include <new>

#include <QCheckBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <system_error>

#include "dialog_helpers.h"
#include "file_dialogs.h"
#include "file_io.h"
#include "image_files.h"
#include "fitter.h"
#include "program_settings.h"
#include "window_support.h"

namespace viewer {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace

ImageTab::ImageTab(const ImageTabControls& controls, settings::Language& language,
                   std::filesystem::path programFolder, FileDialogs& dialogs, QObject* parent)
    : QObject(parent),
      m_c(controls),
      m_language(language),
      m_programFolder(std::move(programFolder)),
      m_dialogs(dialogs),
      m_panel(startPanel()) {
    connect(m_c.CmdOuvrirBMP, &QPushButton::clicked, this, &ImageTab::CmdOuvrirBMP_Click);
    connect(m_c.CmdSaveBMP, &QPushButton::clicked, this, &ImageTab::CmdSaveBMP_Click);
    connect(m_c.CmdCompressRL, &QPushButton::clicked, this, &ImageTab::CmdCompressRL_Click);
    // A path typed or pasted into the box opens with Enter, as if chosen with "...".
    connect(m_c.TextCheminBMP, &QLineEdit::returnPressed, this, [this] {
        const QString typed = m_c.TextCheminBMP->text().trimmed();
        if (!typed.isEmpty() && QFileInfo(typed).isFile()) {
            openFile(QFileInfo(typed).absoluteFilePath());
        }
    });
    for (int i = 0; i < DisplayModeCount; ++i) {
        connect(m_c.OptAffichage[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { OptAffichage_Click(i); });
        m_c.LblOpt[static_cast<std::size_t>(i)]->installEventFilter(this);
    }
    setButtons(false, false);
    m_c.LblCheckCompress->setEnabled(false);
    applyPanel();
}

ImageTab::~ImageTab() {
    closePreview();
}

void ImageTab::CmdOuvrirBMP_Click() {
    const QString path =
        ShowOpenDialog(m_dialogs, m_c.window, OpenFilter, QString(), readFolder(settings::Folder::OpenedImage));
    if (!path.isEmpty()) {
        openFile(path);
    }
}

void ImageTab::openFile(const QString& path) {
    // An image too large for the memory at hand ends in the failed-load state, not in an abort.
    try {
        loadFile(path);
    } catch (const std::bad_alloc&) {
        closePreview();
        imaging::ResetImageModel(m_model);
        std::vector<imaging::PixelRecord>().swap(m_model.Pixels);
        setButtons(false, false);
        m_panel = failedLoadPanel();
        applyPanel();
    }
}

void ImageTab::loadFile(const QString& path) {
    BusyCursor busy;
    // Whatever was being worked out belongs to the image being replaced.
    m_shownJob = nullptr;
    m_shownBusy.reset();
    m_shownImage.reset();
    m_saveWhenShown = false;
    writeFolder(settings::Folder::OpenedImage, path);
    setButtons(false, false);
    m_c.TextCheminBMP->setText(path);
    m_c.ChkCompress->setChecked(false);
    m_c.ChkCompress->setEnabled(false);
    m_c.LblCheckCompress->setEnabled(false);
    closePreview();

    // A file that cannot even be read for its signature is of no known type.
    const tarvik::Result<imaging::FileKind> detected = imaging::detectFileKind(toPath(path));
    const imaging::FileKind kind = detected ? detected.value() : imaging::FileKind::Unknown;
    m_modelIsCompressed = kind == imaging::FileKind::Rl;
    if (kind == imaging::FileKind::Bitmap || kind == imaging::FileKind::Png) {
        imaging::ResetImageModel(m_model);
        if (!imaging::loadPicture(toPath(path), kind, m_model)) {
            m_panel = failedLoadPanel();
            applyPanel();
            return;
        }
        m_panel = bitmapPanel(m_model);
        applyPanel();
        if (ShowBitmapPreview() && imaging::hasCompressibleColours(m_model)) {
            setButtons(false, true);
        }
    } else if (kind == imaging::FileKind::Rl) {
        m_c.ChkCompress->setChecked(true);
        m_c.ChkCompress->setEnabled(true);
        m_c.LblCheckCompress->setEnabled(true);
        imaging::ResetImageModel(m_model);
        std::error_code ec;
        if (!imaging::LoadCompressedImage(toPath(path), m_model)) {
            m_panel = failedLoadPanel();
            applyPanel();
            return;
        }
        const std::uintmax_t length = std::filesystem::file_size(toPath(path), ec);
        m_panel = compressedPanel(m_model, ec ? 0 : length);
        applyPanel();
        if (ShowCompressedPreview()) {
            setButtons(true, false);
        }
    }
}

void ImageTab::CmdSaveBMP_Click() {
    saveModel(BitmapSaveFilter, BitmapSaveTitle, settings::Folder::SavedBitmap, imaging::SaveBitmapImage);
}

void ImageTab::CmdCompressRL_Click() {
    saveModel(CompressedSaveFilter, CompressedSaveTitle, settings::Folder::SavedCompressed,
              imaging::SaveCompressedImage);
}

void ImageTab::saveModel(std::string_view filter, const QString& title, settings::Folder folder,
                         SaveFunction save) {
    const QString path = ShowSaveDialog(m_dialogs, m_c.window, QString(), filter, title, readFolder(folder));
    if (path.isEmpty()) {
        return;
    }
    writeFolder(folder, path);
    BusyCursor busy;
    const tarvik::Status written = save(toPath(path), m_model);
    if (!written) {
        reportFailure(title, path, written.error());
    }
}

void ImageTab::OptAffichage_Click(int index) {
    if (index < 0 || index >= DisplayModeCount) {
        return;
    }
    if (m_preview) {
        // A mode's picture is built the first time it is shown.
        BusyCursor busy;
        m_preview->OptAffichage_Click(index);
    }
}

void ImageTab::LblOpt_Click(int index) {
    if (index < 0 || index >= DisplayModeCount) {
        return;
    }
    m_c.OptAffichage[static_cast<std::size_t>(index)]->setChecked(true);
    OptAffichage_Click(index);
}

void ImageTab::closePreview() {
    // At once rather than when the event loop gets to it: the next preview must not find the old window,
    // and its pictures are the largest memory the tab holds.
    delete m_preview.data();
}

void ImageTab::refreshTexts() {
    if (!m_preview) {
        return;
    }
    QString title = text(m_language.message(8)) + m_c.TextCheminBMP->text();
    const std::optional<std::int64_t> count = m_preview->differenceCount();
    if (m_preview->options().differences && count) {
        QString counted = text(m_language.GetLangString("Preview_DifferenceCount"));
        if (!counted.contains(QLatin1String("%1"))) {
            counted = QStringLiteral(" — %1 pixel(s) modifié(s)");
        }
        title += counted.arg(*count);
    }
    m_preview->setWindowTitle(title);
    m_preview->setTexts(previewTexts());
}

PreviewTexts ImageTab::previewTexts() {
    const auto lang = [this](const char* key) { return text(m_language.GetLangString(key)); };
    PreviewTexts texts;
    texts.zoom = lang("Preview_Zoom");
    texts.zoomFit = lang("Preview_ZoomFit");
    texts.background = lang("Preview_Background");
    for (int i = 0; i < BackgroundCount; ++i) {
        texts.backgrounds[static_cast<std::size_t>(i)] =
            lang(("Preview_Background_" + std::to_string(i)).c_str());
    }
    texts.asShown = lang("Preview_AsShown");
    texts.differences = lang("Preview_Differences");
    texts.reduce = lang("Preview_Reduce");
    return texts;
}

void ImageTab::previewOptionsChanged(const PreviewOptions& before, const PreviewOptions& now) {
    const tarvik::Status stored = writePreviewOptions(m_programFolder, before, now);
    if (!stored) {
        qWarning().noquote() << text(settings::settingNotStoredText(m_programFolder, ZoomKey, stored.error()));
    }
    provideShownImage();
    refreshTexts();
}

void ImageTab::provideShownImage() {
    if (!m_preview || m_preview->hasShownImage() || m_preview->shownImageUnavailable() ||
        !(m_preview->options().asShown || m_preview->options().differences)) {
        return;
    }
    if (m_modelIsCompressed) {
        // Read from an RL file: the model is what decompressing gives; nothing changes on the way.
        std::shared_ptr<const imaging::ImageModel> same(std::shared_ptr<void>(), &m_model);
        m_preview->setShownImage(same, std::vector<std::uint8_t>(m_model.Pixels.size(), 0));
        return;
    }
    if (m_shownImage) {
        shownJobFinished();
    } else {
        startShownJob();
    }
}

namespace {

// Runs on a worker thread, on its own copy of the bitmap. An image the RL format takes as it is goes through
// the codec's own encoder and decoder; one it does not is fitted first, exactly as "compress --fit" does.
ImageTab::ShownImage makeShownImage(const std::shared_ptr<const imaging::ImageModel>& bitmap) {
    ImageTab::ShownImage result;
    tarvik::Result<std::vector<std::uint8_t>> file = imaging::encodeCompressed(*bitmap);
    if (file) {
        result.file = std::move(file.value());
    } else {
        tarvik::Result<fitting::Fitted> fitted = fitting::fitImage(*bitmap);
        if (!fitted) {
            result.failure = fitted.error().detail;
            return result;
        }
        result.file = std::move(fitted->rl);
        result.fit = fitted->report;
    }
    auto image = std::make_shared<imaging::ImageModel>();
    if (const tarvik::Status decoded = imaging::decodeCompressed(result.file, *image); !decoded) {
        result.failure = decoded.error().detail;
        return result;
    }
    result.differences =
        differenceMask(*bitmap, PixelOrder::BottomRowFirst, fitting::changedByFitting, *image, PixelOrder::TopRowFirst);
    result.image = std::move(image);
    return result;
}

}  // namespace

void ImageTab::startShownJob() {
    if (m_shownJob != nullptr) {
        return;
    }
    // The worker gets a copy: the tab's model changes with the next open while the worker may still run.
    std::shared_ptr<const imaging::ImageModel> bitmap;
    try {
        bitmap = std::make_shared<const imaging::ImageModel>(m_model);
    } catch (const std::bad_alloc&) {
        if (m_preview) {
            m_preview->setShownImage(nullptr, {});
        }
        return;
    }
    m_shownBusy = std::make_unique<BusyCursor>();
    m_shownJob = new QFutureWatcher<ShownImage>(this);
    connect(m_shownJob, &QFutureWatcher<ShownImage>::finished, this, [this, job = m_shownJob] {
        job->deleteLater();
        if (job != m_shownJob) {
            return;  // the image it was made for has been replaced
        }
        m_shownJob = nullptr;
        m_shownBusy.reset();
        m_shownImage = std::make_shared<const ShownImage>(job->result());
        shownJobFinished();
    });
    m_shownJob->setFuture(QtConcurrent::run([bitmap] { return makeShownImage(bitmap); }));
}

void ImageTab::shownJobFinished() {
    const std::shared_ptr<const ShownImage> shown = m_shownImage;
    if (!m_preview || !shown) {
        return;
    }
    if (!m_preview->hasShownImage() && !m_preview->shownImageUnavailable()) {
        m_preview->setShownImage(shown->image, shown->differences);
    }
    if (shown->fit) {
        m_preview->setReduceOffered(true);
        m_preview->setReportLine(QString::fromStdString(fitting::reportLine(*shown->fit)));
    }
    refreshTexts();
    if (std::exchange(m_saveWhenShown, false)) {
        if (!shown->image) {
            // Nothing was written: the image itself cannot become an RL file.
            m_dialogs.reportFailure(m_c.window, CompressedSaveTitle,
                                    text(m_language.GetLangString("Preview_ReduceFailed"))
                                        .arg(QDir::toNativeSeparators(m_c.TextCheminBMP->text()), text(shown->failure)));
            return;
        }
        saveFitted();
    }
}

void ImageTab::reduceAndCompress() {
    if (!m_preview || m_modelIsCompressed) {
        return;
    }
    m_saveWhenShown = true;
    // The fitted image is what the user is about to write: show it before the save dialog asks where.
    PreviewOptions options = m_preview->options();
    options.asShown = true;
    m_preview->setOptions(options);
    if (m_shownImage) {
        shownJobFinished();
    } else {
        startShownJob();
    }
}

void ImageTab::saveFitted() {
    const std::shared_ptr<const ShownImage> shown = m_shownImage;
    if (!shown || shown->file.empty()) {
        return;
    }
    const QString path = ShowSaveDialog(m_dialogs, m_c.window, QString(), CompressedSaveFilter, CompressedSaveTitle,
                                        readFolder(settings::Folder::SavedCompressed));
    if (path.isEmpty()) {
        return;
    }
    writeFolder(settings::Folder::SavedCompressed, path);
    BusyCursor busy;
    const tarvik::Status written = tarvik::writeFileAtomically(toPath(path), shown->file);
    if (!written) {
        reportFailure(CompressedSaveTitle, path, written.error());
    }
}

bool ImageTab::ShowBitmapPreview() {
    PreviewCounts counts;
    return showPreview(PixelOrder::BottomRowFirst, counts);
}

bool ImageTab::ShowCompressedPreview() {
    m_panel.alphaUsed = false;
    m_panel.transparentPixels = "0";
    m_panel.alphaPixels = "0";
    m_panel.windowsColors = "0";
    applyPanel();
    PreviewCounts counts;
    if (!showPreview(PixelOrder::TopRowFirst, counts)) {
        return false;
    }
    applyCompressedPreview(m_panel, m_model, counts);
    applyPanel();
    return true;
}

bool ImageTab::showPreview(PixelOrder order, PreviewCounts& counts) {
    BusyCursor busy;
    m_c.OptAffichage[0]->setChecked(true);
    if (!m_preview) {
        m_preview = new FrmImage();
        // A new preview looks as the last one was left.
        m_preview->setOptions(readPreviewOptions(m_programFolder));
        connect(m_preview, &FrmImage::optionsChanged, this, &ImageTab::previewOptionsChanged);
        connect(m_preview, &FrmImage::reduceRequested, this, &ImageTab::reduceAndCompress);
    }
    m_preview->hide();
    m_preview->OptAffichage_Click(0);
    if (!m_preview->drawImage(m_model, order, counts)) {
        return false;
    }
    m_preview->setReduceOffered(!m_modelIsCompressed && !imaging::hasCompressibleColours(m_model));
    provideShownImage();
    m_preview->placeBeside(m_c.window);
    refreshTexts();
    m_preview->show();
    return true;
}

bool ImageTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        for (int i = 0; i < DisplayModeCount; ++i) {
            QLabel* label = m_c.LblOpt[static_cast<std::size_t>(i)];
            if (watched == label && mouse->button() == Qt::LeftButton && label->isEnabled() &&
                label->rect().contains(mouse->position().toPoint())) {
                LblOpt_Click(i);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void ImageTab::applyPanel() {
    const ImagePanel& p = m_panel;
    m_c.LblTailleFichier->setText(text(p.fileSize));
    m_c.LbLargeurImg->setText(text(p.width));
    m_c.LbHauteurImg->setText(text(p.height));
    m_c.LblColorDef->setText(text(p.colorDepth));
    m_c.TxtNbCouleur->setText(text(p.windowsColors));
    m_c.TxtNbCouleur16->setText(text(p.compressedColors));
    m_c.TxtNbAlpha->setText(text(p.alphaPixels));
    m_c.TxtNbAlpha0->setText(text(p.transparentPixels));
    m_c.LblNbCouleurs->setEnabled(p.windowsColorsEnabled);
    m_c.TxtNbCouleur->setEnabled(p.windowsColorsEnabled);
    m_c.LblNbCouleurs16->setEnabled(p.compressedColorsEnabled);
    m_c.TxtNbCouleur16->setEnabled(p.compressedColorsEnabled);
    for (QWidget* widget :
         {static_cast<QWidget*>(m_c.ChkAlpha), static_cast<QWidget*>(m_c.LblChkAlpha),
          static_cast<QWidget*>(m_c.LblNbPixelAlpha), static_cast<QWidget*>(m_c.TxtNbAlpha),
          static_cast<QWidget*>(m_c.LblNbPixelAlpha0), static_cast<QWidget*>(m_c.TxtNbAlpha0)}) {
        widget->setEnabled(p.alphaControlsEnabled);
    }
    for (int i = 0; i < DisplayModeCount; ++i) {
        m_c.OptAffichage[static_cast<std::size_t>(i)]->setEnabled(p.alphaControlsEnabled);
        m_c.LblOpt[static_cast<std::size_t>(i)]->setEnabled(p.alphaControlsEnabled);
    }
    m_c.ChkAlpha->setChecked(p.alphaUsed);
}

void ImageTab::setButtons(bool canSaveBitmap, bool canCompress) {
    m_c.CmdSaveBMP->setEnabled(canSaveBitmap);
    m_c.CmdCompressRL->setEnabled(canCompress);
}

QString ImageTab::readFolder(settings::Folder folder) const {
    return pathText(settings::readSetting(m_programFolder, settings::folderKey(folder), ""));
}

void ImageTab::writeFolder(settings::Folder folder, const QString& path) const {
    rememberFolder(m_programFolder, folder, folderOfPath(pathBytes(path)));
}

void ImageTab::reportFailure(const QString& title, const QString& path, const tarvik::Error& error) {
    QString reason = text(error.detail);
    if (reason.isEmpty()) {
        reason = QString::fromLatin1(tarvik::errorCodeName(error.code));
    }
    m_dialogs.reportWriteFailure(m_c.window, title, path, reason);
}

}  // namespace viewer
