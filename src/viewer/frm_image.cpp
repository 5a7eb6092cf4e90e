#include "frm_image.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "program_icon.h"

namespace viewer {
namespace {

// What the menu says when the language file has nothing for an entry.
PreviewTexts builtInTexts() {
    PreviewTexts texts;
    texts.zoom = QStringLiteral("Zoom");
    texts.zoomFit = QStringLiteral("Ajuster à l'écran");
    texts.background = QStringLiteral("Fond");
    texts.backgrounds = {QStringLiteral("Gris clair"), QStringLiteral("Damier"), QStringLiteral("Noir"),
                         QStringLiteral("Blanc")};
    texts.asShown = QStringLiteral("Tel que le programme cible l'affiche");
    texts.differences = QStringLiteral("Différences");
    texts.reduce = QStringLiteral("Réduire et compresser…");
    return texts;
}

void setText(QAction* action, const QString& text) {
    if (action != nullptr && !text.isEmpty()) {
        action->setText(text);
    }
}

}  // namespace

PreviewPicture::PreviewPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewPicture::setImage(QImage image) {
    m_image = std::move(image);
    update();
}

void PreviewPicture::setScale(double scale) {
    m_scale = scale > 0 ? scale : 1;
    update();
}

QSize PreviewPicture::scaledSize() const {
    return {static_cast<int>(std::ceil(m_image.width() * m_scale)),
            static_cast<int>(std::ceil(m_image.height() * m_scale))};
}

void PreviewPicture::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Without smooth transformation every screen pixel takes the colour of the image pixel under it, so the
    // pixels stay sharp at any zoom. Only the exposed part is converted and drawn: the alpha picture is kept at
    // one byte per pixel and a zoomed image is far larger on screen than in memory.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect exposed = event->rect();
    if (m_scale == 1) {
        const QRect area = exposed & m_image.rect();
        if (!area.isEmpty()) {
            painter.drawImage(area.topLeft(), m_image, area);
        }
        return;
    }
    const QRect source =
        QRect(QPoint(static_cast<int>(std::floor(exposed.left() / m_scale)),
                     static_cast<int>(std::floor(exposed.top() / m_scale))),
              QPoint(static_cast<int>(std::floor(exposed.right() / m_scale)),
                     static_cast<int>(std::floor(exposed.bottom() / m_scale)))) &
        m_image.rect();
    if (source.isEmpty()) {
        return;
    }
    if (m_scale == std::floor(m_scale)) {
        // Whole factors are replicated here rather than left to the paint engine's sampling, so every image
        // pixel is exactly scale x scale screen pixels.
        const int factor = static_cast<int>(m_scale);
        const QImage part = m_image.copy(source).convertToFormat(QImage::Format_RGB32);
        QImage blown(part.width() * factor, part.height() * factor, QImage::Format_RGB32);
        if (blown.isNull()) {
            return;
        }
        for (int y = 0; y < blown.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(part.constScanLine(y / factor));
            auto* out = reinterpret_cast<QRgb*>(blown.scanLine(y));
            for (int x = 0; x < blown.width(); ++x) {
                out[x] = in[x / factor];
            }
        }
        painter.drawImage(source.topLeft() * factor, blown);
        return;
    }
    const QRectF target(source.left() * m_scale, source.top() * m_scale, source.width() * m_scale,
                        source.height() * m_scale);
    painter.drawImage(target, m_image, QRectF(source));
}

void FitWindowToClient(QWidget* window, int clientWidth, int clientHeight) {
    // Qt sizes a top-level window by its client area; the window manager adds the frame around it.
    window->resize(std::max(clientWidth, FrmImage::MinimumClientWidth), std::max(clientHeight, 1));
}

FrmImage::FrmImage(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FrmImage"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the preview never ends the program, whatever other windows are shown.
    setAttribute(Qt::WA_QuitOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(WindowColor));
    setPalette(pal);
    setAutoFillBackground(true);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setPalette(pal);
    m_scroll->viewport()->setPalette(pal);
    m_scroll->viewport()->setAutoFillBackground(true);
    m_scroll->viewport()->installEventFilter(this);
    m_canvas = new QWidget;
    m_canvas->setPalette(pal);
    m_canvas->setAutoFillBackground(true);
    m_scroll->setWidget(m_canvas);
    m_scroll->setWidgetResizable(false);

    m_reportLine = new QLabel(this);
    m_reportLine->setObjectName(QStringLiteral("ReportLine"));
    m_reportLine->setMargin(3);
    m_reportLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette light = pal;
    light.setColor(QPalette::WindowText, Qt::white);
    m_reportLine->setPalette(light);
    m_reportLine->hide();

    const std::array<const char*, DisplayModeCount> names{"PictImgAlpha", "PictImg", "PictAlpha"};
    for (int i = 0; i < DisplayModeCount; ++i) {
        auto* picture = new PreviewPicture(m_canvas);
        picture->setObjectName(QString::fromLatin1(names[static_cast<std::size_t>(i)]));
        m_pictures[static_cast<std::size_t>(i)] = picture;
    }
    buildMenu();
    OptAffichage_Click(0);
}

FrmImage::~FrmImage() = default;

void FrmImage::buildMenu() {
    m_menu = new QMenu(this);
    m_zoomMenu = m_menu->addMenu(QString());
    auto* zooms = new QActionGroup(this);
    for (std::size_t i = 0; i <= ZoomSteps.size(); ++i) {
        const int zoom = i < ZoomSteps.size() ? ZoomSteps[i] : FitZoom;
        QAction* action = m_zoomMenu->addAction(
            zoom == FitZoom ? QString() : QStringLiteral("%1×").arg(zoom),
            [this, zoom] {
                PreviewOptions options = m_options;
                options.zoom = zoom;
                changeOptions(options);
            });
        action->setObjectName(zoom == FitZoom ? QStringLiteral("ZoomFit") : QStringLiteral("Zoom%1").arg(zoom));
        action->setCheckable(true);
        zooms->addAction(action);
        m_zoomActions[i] = action;
    }
    m_backgroundMenu = m_menu->addMenu(QString());
    auto* backgrounds = new QActionGroup(this);
    const std::array<const char*, BackgroundCount> names{"BackgroundLightGrey", "BackgroundCheckerboard",
                                                        "BackgroundBlack", "BackgroundWhite"};
    for (int i = 0; i < BackgroundCount; ++i) {
        QAction* action = m_backgroundMenu->addAction(QString(), [this, i] {
            PreviewOptions options = m_options;
            options.background = static_cast<Background>(i);
            changeOptions(options);
        });
        action->setObjectName(QString::fromLatin1(names[static_cast<std::size_t>(i)]));
        action->setCheckable(true);
        backgrounds->addAction(action);
        m_backgroundActions[static_cast<std::size_t>(i)] = action;
    }
    m_menu->addSeparator();
    // A checkable entry that switches one option on or off.
    const auto addToggle = [this](const QString& name, bool PreviewOptions::*option) {
        QAction* action = m_menu->addAction(QString(), [this, option](bool on) {
            PreviewOptions options = m_options;
            options.*option = on;
            changeOptions(options);
        });
        action->setObjectName(name);
        action->setCheckable(true);
        return action;
    };
    m_asShownAction = addToggle(QStringLiteral("AsShown"), &PreviewOptions::asShown);
    m_differencesAction = addToggle(QStringLiteral("Differences"), &PreviewOptions::differences);
    m_menu->addSeparator();
    m_reduceAction = m_menu->addAction(QString(), this, &FrmImage::reduceRequested);
    m_reduceAction->setObjectName(QStringLiteral("Reduce"));
    m_reduceAction->setVisible(false);
    setTexts(builtInTexts());
    syncMenu();
}

void FrmImage::setTexts(const PreviewTexts& texts) {
    setText(m_zoomMenu->menuAction(), texts.zoom);
    setText(m_zoomActions.back(), texts.zoomFit);
    setText(m_backgroundMenu->menuAction(), texts.background);
    for (int i = 0; i < BackgroundCount; ++i) {
        setText(m_backgroundActions[static_cast<std::size_t>(i)], texts.backgrounds[static_cast<std::size_t>(i)]);
    }
    setText(m_asShownAction, texts.asShown);
    setText(m_differencesAction, texts.differences);
    setText(m_reduceAction, texts.reduce);
}

void FrmImage::setReduceOffered(bool offered) {
    m_reduceAction->setVisible(offered);
}

void FrmImage::setReportLine(const QString& line) {
    const bool wasShown = !m_reportLine->isHidden();
    m_reportLine->setText(line);
    m_reportLine->setHidden(line.isEmpty());
    if (wasShown != !line.isEmpty()) {
        layoutPictures();
    }
}

QString FrmImage::reportLine() const {
    return m_reportLine->isHidden() ? QString() : m_reportLine->text();
}

void FrmImage::syncMenu() {
    for (std::size_t i = 0; i <= ZoomSteps.size(); ++i) {
        const int zoom = i < ZoomSteps.size() ? ZoomSteps[i] : FitZoom;
        m_zoomActions[i]->setChecked(m_options.zoom == zoom);
    }
    m_backgroundActions[static_cast<std::size_t>(m_options.background)]->setChecked(true);
    m_asShownAction->setChecked(m_options.asShown);
    m_differencesAction->setChecked(m_options.differences);
    m_asShownAction->setEnabled(!m_shownUnavailable);
    m_differencesAction->setEnabled(!m_shownUnavailable);
}

bool FrmImage::drawImage(const imaging::ImageModel& model, PixelOrder order, PreviewCounts& counts) {
    counts = {};
    if (model.Width <= 0 || model.Height <= 0) {
        return false;
    }
    // The counts are the model's own, whatever the options show.
    QImage picture(model.Width, model.Height, QImage::Format_RGB32);
    if (picture.isNull() ||
        !renderWithTransparency(model, order, reinterpret_cast<std::uint32_t*>(picture.bits()),
                                static_cast<std::size_t>(picture.bytesPerLine()) / sizeof(std::uint32_t),
                                counts, backdropOf(m_options.background))) {
        return false;
    }
    m_model = &model;
    m_order = order;
    m_shown.reset();
    m_differences.clear();
    m_shownUnavailable = false;
    m_reportLine->clear();
    m_reportLine->hide();
    m_built = {true, false, false};
    m_pictures[0]->setImage(std::move(picture));
    m_pictures[1]->setImage({});
    m_pictures[2]->setImage({});
    m_imageSize = QSize(model.Width, model.Height);
    syncMenu();
    if (m_mode != 0) {
        build(m_mode);
    }
    layoutPictures();
    return true;
}

void FrmImage::setShownImage(std::shared_ptr<const imaging::ImageModel> shown,
                             std::vector<std::uint8_t> differences) {
    if (shown != nullptr && (shown->Width != m_imageSize.width() || shown->Height != m_imageSize.height())) {
        shown.reset();
    }
    m_shown = std::move(shown);
    m_differences = m_shown != nullptr ? std::move(differences) : std::vector<std::uint8_t>{};
    m_shownUnavailable = m_shown == nullptr;
    syncMenu();
    if (m_options.asShown || m_options.differences) {
        invalidate();
    }
}

std::optional<std::int64_t> FrmImage::differenceCount() const {
    if (m_shown == nullptr || m_differences.empty()) {
        return std::nullopt;
    }
    return std::accumulate(m_differences.begin(), m_differences.end(), std::int64_t{0});
}

void FrmImage::setOptions(const PreviewOptions& options) {
    applyOptions(options);
}

void FrmImage::changeOptions(const PreviewOptions& options) {
    const PreviewOptions before = m_options;
    applyOptions(options);
    if (!(before == m_options)) {
        emit optionsChanged(before, m_options);
    }
}

void FrmImage::applyOptions(const PreviewOptions& options) {
    const PreviewOptions before = m_options;
    m_options = options;
    syncMenu();
    if (before.background != options.background || before.asShown != options.asShown ||
        before.differences != options.differences) {
        invalidate();
    }
    if (before.zoom != options.zoom) {
        layoutPictures();
    }
}

double FrmImage::scale() const {
    const QScreen* where = screen();
    const QRect available = where != nullptr ? where->availableGeometry() : QRect(0, 0, 1024, 768);
    // The frame around the client area: known once the window is shown, else the title bar's height.
    QSize frame = frameGeometry().size() - size();
    if (!isVisible() || frame.isEmpty()) {
        frame = QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    }
    return zoomScale(m_options.zoom, m_imageSize.width(), m_imageSize.height(),
                     available.width() - frame.width(), available.height() - frame.height());
}

void FrmImage::layoutPictures() {
    if (m_imageSize.isEmpty()) {
        return;
    }
    const double factor = scale();
    for (PreviewPicture* picture : m_pictures) {
        picture->setScale(factor);
    }
    const QSize scaled(static_cast<int>(std::ceil(m_imageSize.width() * factor)),
                       static_cast<int>(std::ceil(m_imageSize.height() * factor)));
    for (PreviewPicture* picture : m_pictures) {
        picture->setGeometry(QRect(QPoint(0, 0), scaled));
    }
    m_canvas->resize(scaled);

    // The window takes the picture's size up to the screen's free area; scroll bars show the rest.
    const QScreen* where = screen();
    const QRect available = where != nullptr ? where->availableGeometry() : QRect(0, 0, 1024, 768);
    QSize frame = frameGeometry().size() - size();
    if (!isVisible() || frame.isEmpty()) {
        frame = QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    }
    const int below = m_reportLine->isHidden() ? 0 : m_reportLine->sizeHint().height();
    const QSize room = available.size() - frame - QSize(0, below);
    QSize client = scaled.boundedTo(room);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (scaled.width() > room.width()) {
        client.setHeight(std::min(scaled.height() + bar, room.height()));
    }
    if (scaled.height() > room.height()) {
        client.setWidth(std::min(scaled.width() + bar, room.width()));
    }
    if (below > 0) {
        client.setWidth(std::max(client.width(), std::min(m_reportLine->sizeHint().width(), room.width())));
    }
    FitWindowToClient(this, client.width(), client.height() + below);
    placeScrollArea();
}

void FrmImage::placeScrollArea() {
    const int below = m_reportLine->isHidden() ? 0 : m_reportLine->sizeHint().height();
    m_scroll->setGeometry(0, 0, width(), height() - below);
    m_reportLine->setGeometry(0, height() - below, width(), below);
}

void FrmImage::invalidate() {
    m_built = {false, false, false};
    if (m_model != nullptr) {
        build(m_mode);
    }
}

const imaging::ImageModel* FrmImage::source(PixelOrder& order) const {
    if (m_options.asShown && m_shown != nullptr) {
        order = PixelOrder::TopRowFirst;
        return m_shown.get();
    }
    order = m_order;
    return m_model;
}

bool FrmImage::marking() const {
    return m_options.differences && m_shown != nullptr && !m_differences.empty();
}

bool FrmImage::build(int mode) {
    if (m_built[static_cast<std::size_t>(mode)]) {
        return true;
    }
    PixelOrder order = m_order;
    const imaging::ImageModel* model = source(order);
    if (model == nullptr) {
        return false;
    }
    QImage picture;
    const auto words = [](QImage& image) {
        return static_cast<std::size_t>(image.bytesPerLine()) / sizeof(std::uint32_t);
    };
    if (mode == static_cast<int>(DisplayMode::WithTransparency)) {
        picture = QImage(m_imageSize, QImage::Format_RGB32);
        PreviewCounts ignored;
        if (picture.isNull() ||
            !renderWithTransparency(*model, order, reinterpret_cast<std::uint32_t*>(picture.bits()),
                                    words(picture), ignored, backdropOf(m_options.background))) {
            return false;
        }
    } else if (mode == static_cast<int>(DisplayMode::WithoutTransparency)) {
        picture = QImage(m_imageSize, QImage::Format_RGB32);
        if (picture.isNull() ||
            !renderWithoutTransparency(*model, order, reinterpret_cast<std::uint32_t*>(picture.bits()),
                                       words(picture))) {
            return false;
        }
    } else {
        // One byte per pixel: the alpha picture has two colours only.
        picture = QImage(m_imageSize, QImage::Format_Indexed8);
        if (picture.isNull()) {
            return false;
        }
        picture.setColorTable({toRgb32(PreviewBackColor), qRgb(0, 0, 0)});
        if (!renderAlphaChannel(*model, order, picture.bits(), static_cast<std::size_t>(picture.bytesPerLine()))) {
            return false;
        }
    }
    if (marking()) {
        if (picture.format() != QImage::Format_RGB32) {
            picture = picture.convertToFormat(QImage::Format_RGB32);
            if (picture.isNull()) {
                return false;
            }
        }
        markDifferences(reinterpret_cast<std::uint32_t*>(picture.bits()), words(picture),
                        static_cast<std::size_t>(picture.width()), static_cast<std::size_t>(picture.height()),
                        m_differences);
    }
    m_pictures[static_cast<std::size_t>(mode)]->setImage(std::move(picture));
    m_built[static_cast<std::size_t>(mode)] = true;
    return true;
}

const QImage& FrmImage::image(DisplayMode mode) {
    build(static_cast<int>(mode));
    return m_pictures[static_cast<std::size_t>(mode)]->image();
}

void FrmImage::OptAffichage_Click(int index) {
    if (index < 0 || index >= DisplayModeCount) {
        return;
    }
    m_mode = index;
    if (m_model != nullptr) {
        build(index);
    }
    for (int i = 0; i < DisplayModeCount; ++i) {
        m_pictures[static_cast<std::size_t>(i)]->setVisible(i == index);
    }
}

void FrmImage::placeBeside(const QWidget* mainWindow) {
    const QRect frame = mainWindow->frameGeometry();
    move(frame.left() + frame.width(), frame.top());
}

void FrmImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeScrollArea();
}

void FrmImage::contextMenuEvent(QContextMenuEvent* event) {
    m_menu->popup(event->globalPos());
    event->accept();
}

bool FrmImage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport()) {
        if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if ((wheel->modifiers() & Qt::ControlModifier) != 0 && wheel->angleDelta().y() != 0) {
                PreviewOptions options = m_options;
                options.zoom = steppedZoom(scale(), wheel->angleDelta().y() > 0 ? 1 : -1);
                changeOptions(options);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace viewer
