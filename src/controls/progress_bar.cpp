#include "progress_bar.h"

#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <limits>

#include "progress_bar_math.h"

namespace controls {

namespace {

// Saved-form defaults: what an absent entry reads back as, and so what need not be written.
constexpr int DefaultAppearance = 0;
constexpr std::uint32_t DefaultBackColor = 0;
constexpr std::uint32_t DefaultBackColorII = 0;
constexpr int DefaultBorderStyle = 0;
constexpr int DefaultCaptionFormat = 0;
constexpr int DefaultDrawMode = cpvProgressBar::CopyPen;
constexpr int DefaultDrawStyle = 0;
constexpr bool DefaultEnabled = true;
constexpr std::uint32_t DefaultFontColor = systemColorValue(SystemColor::ButtonText);
constexpr std::int32_t DefaultMax = 100;
constexpr std::int32_t DefaultMin = 0;
constexpr bool DefaultMouseActive = true;
constexpr int DefaultMousePointer = 0;
constexpr int DefaultOrientation = 0;
constexpr std::int32_t DefaultValue = 0;

bool isValidDrawMode(int mode) {
    return mode >= 1 && mode <= 16;
}
bool isValidDrawStyle(int style) {
    return style >= 0 && style <= 6;
}
bool isValidBorderStyle(int style) {
    return style == 0 || style == 1;
}
bool isValidAppearance(int appearance) {
    return appearance == cpvProgressBar::Flat || appearance == cpvProgressBar::ThreeD;
}

// The stock pointers 1-15; 0 is the default pointer and 99 the custom icon.
std::optional<Qt::CursorShape> stockCursor(int pointer) {
    switch (pointer) {
        case 1:
            return Qt::ArrowCursor;
        case 2:
            return Qt::CrossCursor;
        case 3:
            return Qt::IBeamCursor;
        case 4:
            return Qt::ArrowCursor;  // the "icon" pointer has no counterpart in Qt
        case 5:
            return Qt::SizeAllCursor;
        case 6:
            return Qt::SizeBDiagCursor;
        case 7:
            return Qt::SizeVerCursor;
        case 8:
            return Qt::SizeFDiagCursor;
        case 9:
            return Qt::SizeHorCursor;
        case 10:
            return Qt::UpArrowCursor;
        case 11:
            return Qt::WaitCursor;
        case 12:
            return Qt::ForbiddenCursor;
        case 13:
            return Qt::BusyCursor;
        case 14:
            return Qt::WhatsThisCursor;
        case 15:
            return Qt::SizeAllCursor;
        default:
            return std::nullopt;
    }
}

bool isValidMousePointer(int pointer) {
    return pointer == 0 || pointer == cpvProgressBar::CustomPointer || stockCursor(pointer).has_value();
}

// Fills rect with colour combined with what is already there, as the draw modes 1-16 define.
void fillWithDrawMode(QPainter& painter, const QRect& rect, const QColor& color, int drawMode) {
    std::optional<QPainter::CompositionMode> op;
    QColor fill = color;
    switch (drawMode) {
        case 1:
            fill = Qt::black;
            break;
        case 2:
            op = QPainter::RasterOp_NotSourceAndNotDestination;
            break;  // not (pen or screen)
        case 3:
            op = QPainter::RasterOp_NotSourceAndDestination;
            break;  // screen and not pen
        case 4:
            op = QPainter::RasterOp_NotSource;
            break;
        case 5:
            op = QPainter::RasterOp_SourceAndNotDestination;
            break;
        case 6:
            op = QPainter::RasterOp_NotDestination;
            break;
        case 7:
            op = QPainter::RasterOp_SourceXorDestination;
            break;
        case 8:
            op = QPainter::RasterOp_NotSourceOrNotDestination;
            break;  // not (pen and screen)
        case 9:
            op = QPainter::RasterOp_SourceAndDestination;
            break;
        case 10:
            op = QPainter::RasterOp_NotSourceXorDestination;
            break;
        case 11:
            return;  // leaves the screen as it is
        case 12:
            op = QPainter::RasterOp_NotSourceOrDestination;
            break;
        case 14:
            op = QPainter::RasterOp_SourceOrNotDestination;
            break;
        case 15:
            op = QPainter::RasterOp_SourceOrDestination;
            break;
        case 16:
            fill = Qt::white;
            break;
        default:
            break;
    }
    painter.save();
    if (op) {
        painter.setCompositionMode(*op);
    }
    painter.fillRect(rect, fill);
    painter.restore();
}

std::optional<std::int32_t> readInt32(const PropertyBag& bag, const char* name) {
    const QVariant v = bag.readProperty(QLatin1String(name));
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!v.isValid() || !ok || n < std::numeric_limits<std::int32_t>::min() ||
        n > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(n);
}

// Either form of a colour reads back: unsigned 0x80000012, or the signed 32-bit number that other
// tools store for the same bits.
std::optional<std::uint32_t> readColor(const PropertyBag& bag, const char* name) {
    const QVariant v = bag.readProperty(QLatin1String(name));
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!v.isValid() || !ok || n < std::numeric_limits<std::int32_t>::min() ||
        n > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(n);
}

std::optional<bool> readBool(const PropertyBag& bag, const char* name) {
    const QVariant v = bag.readProperty(QLatin1String(name));
    if (!v.isValid() || !v.canConvert<bool>()) {
        return std::nullopt;
    }
    return v.toBool();
}

QPixmap readPixmap(const PropertyBag& bag, const char* name) {
    const QVariant v = bag.readProperty(QLatin1String(name));
    if (v.typeId() == QMetaType::QPixmap) {
        return v.value<QPixmap>();
    }
    if (v.typeId() == QMetaType::QImage) {
        return QPixmap::fromImage(v.value<QImage>());
    }
    return {};
}

}  // namespace

cpvProgressBar::cpvProgressBar(QWidget* parent) : QWidget(parent) {
    // The holder hears about moves without a button too, as it does for its own surface.
    setMouseTracking(true);
    applyBorder();
}

// --- range and value -----------------------------------------------------------------------

bool cpvProgressBar::setValue(std::int32_t value) {
    if (value < m_min || value > m_max) {
        return false;
    }
    m_value = value;
    update();
    emit propertyChanged(QStringLiteral("Value"));
    if (value != m_lastValue) {
        m_lastValue = value;
        emit ValeurChange();
        if (value == m_max) {
            emit MaxValeur();
        }
        if (value == m_min) {
            emit MinValeur();
        }
    }
    return true;
}

bool cpvProgressBar::setMax(std::int32_t max) {
    if (max <= m_min) {
        return false;
    }
    m_max = max;
    m_span = static_cast<std::int64_t>(m_max) - m_min;
    update();
    emit propertyChanged(QStringLiteral("Max"));
    return true;
}

bool cpvProgressBar::setMin(std::int32_t min) {
    if (min >= m_max) {
        return false;
    }
    m_min = min;
    // The span changes before Value moves, so the redraw and the handlers of the events below
    // already see the new range.
    m_span = static_cast<std::int64_t>(m_max) - m_min;
    setValue(min);
    emit propertyChanged(QStringLiteral("Min"));
    return true;
}

// --- drawing properties --------------------------------------------------------------------

void cpvProgressBar::setCaption(const QString& caption) {
    m_caption = caption;
    update();
    emit propertyChanged(QStringLiteral("Caption"));
}

void cpvProgressBar::setCaptionFormat(int format) {
    m_captionFormat = format;
    update();
    emit propertyChanged(QStringLiteral("CaptionFormat"));
}

void cpvProgressBar::setOrientation(int orientation) {
    m_orientation = orientation;
    update();
    emit propertyChanged(QStringLiteral("Orientation"));
}

void cpvProgressBar::setBarPicture(const QPixmap& picture) {
    m_barPicture = picture;
    applyBackPictureSize();
    emit propertyChanged(QStringLiteral("BarPicture"));
}

void cpvProgressBar::setBarPictureBack(const QPixmap& picture) {
    m_barPictureBack = picture;
    applyBackPictureSize();
    emit propertyChanged(QStringLiteral("BarPictureBack"));
}

void cpvProgressBar::setBackColorII(std::uint32_t color) {
    m_backColorII = color;
    update();
    emit propertyChanged(QStringLiteral("BackColorII"));
}

bool cpvProgressBar::setBackColor(std::uint32_t color) {
    if (!isValidColorValue(color)) {
        return false;
    }
    m_backColor = color;
    update();
    emit propertyChanged(QStringLiteral("BackColor"));
    return true;
}

bool cpvProgressBar::setFontColor(std::uint32_t color) {
    if (!isValidColorValue(color)) {
        return false;
    }
    m_fontColor = color;
    update();
    emit propertyChanged(QStringLiteral("FontColor"));
    return true;
}

void cpvProgressBar::setMouseActive(bool active) {
    m_mouseActive = active;
    emit propertyChanged(QStringLiteral("MouseActive"));
}

void cpvProgressBar::setAppearance(int appearance) {
    // An appearance the surface cannot take is ignored rather than refused, and the back colour
    // is never disturbed by the change.
    if (isValidAppearance(appearance)) {
        m_appearance = appearance;
        applyBorder();
    }
    update();
    emit propertyChanged(QStringLiteral("Appearance"));
}

bool cpvProgressBar::setBorderStyle(int style) {
    if (!isValidBorderStyle(style)) {
        return false;
    }
    m_borderStyle = style;
    applyBorder();
    update();
    emit propertyChanged(QStringLiteral("BorderStyle"));
    return true;
}

bool cpvProgressBar::setDrawMode(int mode) {
    if (!isValidDrawMode(mode)) {
        return false;
    }
    m_drawMode = mode;
    update();
    emit propertyChanged(QStringLiteral("DrawMode"));
    return true;
}

bool cpvProgressBar::setDrawStyle(int style) {
    if (!isValidDrawStyle(style)) {
        return false;
    }
    // The bar is a solid box, which no line style changes; the value is kept for the saved form.
    m_drawStyle = style;
    update();
    emit propertyChanged(QStringLiteral("DrawStyle"));
    return true;
}

void cpvProgressBar::setMouseIcon(const QPixmap& icon) {
    m_mouseIcon = icon;
    applyCursor();
    emit propertyChanged(QStringLiteral("MouseIcon"));
}

bool cpvProgressBar::setMousePointer(int pointer) {
    if (!isValidMousePointer(pointer)) {
        return false;
    }
    m_mousePointer = pointer;
    applyCursor();
    emit propertyChanged(QStringLiteral("MousePointer"));
    return true;
}

// --- surface -------------------------------------------------------------------------------

QColor cpvProgressBar::resolvedColor(std::uint32_t value) const {
    // Values are checked on assignment; one that slipped in through a saved form paints black.
    return colorForPainting(value, palette());
}

int cpvProgressBar::borderWidth() const {
    if (m_borderStyle == 0) {
        return 0;
    }
    return m_appearance == ThreeD ? 2 : 1;
}

void cpvProgressBar::applyBorder() {
    const int width = borderWidth();
    setContentsMargins(width, width, width, width);
}

void cpvProgressBar::applyCursor() {
    if (m_mousePointer == CustomPointer && !m_mouseIcon.isNull()) {
        setCursor(QCursor(m_mouseIcon));
    } else if (auto shape = stockCursor(m_mousePointer)) {
        setCursor(*shape);
    } else {
        unsetCursor();
    }
}

void cpvProgressBar::applyBackPictureSize() {
    // The back picture sets the size, so the two pictures line up pixel for pixel with the bar.
    if (!m_barPictureBack.isNull()) {
        const QSize pictureSize = m_barPictureBack.deviceIndependentSize().toSize();
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        if (size() != pictureSize) {
            resize(pictureSize);
        }
    } else {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    updateGeometry();
    update();
}

QSize cpvProgressBar::sizeHint() const {
    if (!m_barPictureBack.isNull()) {
        return m_barPictureBack.deviceIndependentSize().toSize();
    }
    const int border = 2 * borderWidth();
    return QSize(150 + border, QFontMetrics(font()).height() + 6 + border);
}

void cpvProgressBar::Refresh() {
    repaint();
}

std::int32_t cpvProgressBar::ValueFromPoint(double x, double y) const {
    const QRect area = drawingArea();
    return valueFromPoint(m_orientation, x, y, area.width(), area.height(), m_min, m_max);
}

QString cpvProgressBar::captionText() const {
    return controls::captionText(m_captionFormat, m_value, m_min, m_span, m_caption,
                                 QLocale::system().decimalPoint());
}

std::optional<QRect> cpvProgressBar::barRectangle() const {
    if (m_span == 0) {
        return std::nullopt;
    }
    const double p =
        static_cast<double>(static_cast<std::int64_t>(m_value) - m_min) / static_cast<double>(m_span);
    const QRect area = drawingArea();
    return barRect(m_orientation, p, area.width(), area.height());
}

void cpvProgressBar::paintBorder(QPainter& painter) const {
    const int width = borderWidth();
    if (width == 0) {
        return;
    }
    const QRect outer = rect();
    const auto frame = [&painter](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    if (width == 1) {
        const QColor line = resolvedColor(systemColorValue(SystemColor::WindowFrame));
        frame(outer, line, line);
        return;
    }
    // Sunken: shadow above and left, light below and right, twice.
    frame(outer, resolvedColor(systemColorValue(SystemColor::ButtonShadow)),
          resolvedColor(systemColorValue(SystemColor::ButtonHighlight)));
    frame(outer.adjusted(1, 1, -1, -1), resolvedColor(systemColorValue(SystemColor::DarkShadow3D)),
          resolvedColor(systemColorValue(SystemColor::Light3D)));
}

void cpvProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBorder(painter);

    const QRect area = drawingArea();
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    const QRect surface(QPoint(0, 0), area.size());

    painter.fillRect(surface, resolvedColor(m_backColor));
    if (!m_barPictureBack.isNull()) {
        painter.drawPixmap(QPointF(0, 0), m_barPictureBack);
    }

    if (const auto bar = barRectangle(); bar && !bar->isEmpty()) {
        if (m_barPicture.isNull()) {
            fillWithDrawMode(painter, *bar, resolvedColor(m_fontColor), m_drawMode);
        } else {
            // Reveal the part of the picture under the bar, unscaled and in place.
            const QRect visible =
                bar->intersected(QRect(QPoint(0, 0), m_barPicture.deviceIndependentSize().toSize()));
            if (!visible.isEmpty()) {
                const qreal ratio = m_barPicture.devicePixelRatio();
                const QRectF source(visible.x() * ratio, visible.y() * ratio, visible.width() * ratio,
                                    visible.height() * ratio);
                painter.drawPixmap(QRectF(visible), m_barPicture, source);
            }
        }
    }

    const QString text = captionText();
    if (!text.isEmpty()) {
        painter.setFont(font());
        painter.setPen(resolvedColor(m_fontColor));
        const QFontMetricsF metrics(font());
        const int x = centredStart(surface.width(), metrics.horizontalAdvance(text));
        const int y = centredStart(surface.height(), metrics.height());
        painter.drawText(QPointF(x, y + metrics.ascent()), text);
    }
}

void cpvProgressBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyBackPictureSize();
}

void cpvProgressBar::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::FontChange:
            update();
            emit propertyChanged(QStringLiteral("Font"));
            break;
        case QEvent::EnabledChange:
            emit propertyChanged(QStringLiteral("Enabled"));
            break;
        case QEvent::PaletteChange:
            update();  // system colours follow the palette
            break;
        default:
            break;
    }
    QWidget::changeEvent(event);
}

// --- mouse ---------------------------------------------------------------------------------

namespace {

int buttonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton) {
        code |= 1;
    }
    if (buttons & Qt::RightButton) {
        code |= 2;
    }
    if (buttons & Qt::MiddleButton) {
        code |= 4;
    }
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier) {
        code |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        code |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        code |= 4;
    }
    return code;
}

}  // namespace

void cpvProgressBar::assignFromMouse(std::int64_t value) {
    // A saved form with Min above Max leaves no value the control accepts; the mouse then does nothing.
    if (value < m_min || value > m_max) {
        return;
    }
    setValue(static_cast<std::int32_t>(value));
}

void cpvProgressBar::mousePressEvent(QMouseEvent* event) {
    const QPointF point = event->position() - QPointF(drawingArea().topLeft());
    const int button = buttonCode(event->button());
    const int shift = shiftCode(event->modifiers());
    if (event->button() == Qt::LeftButton) {
        m_leftPressed = true;
    }
    emit MouseDown(button, shift, point.x(), point.y());
    if (!m_mouseActive) {
        return;
    }
    const QRect area = drawingArea();
    const bool inside =
        point.x() >= 0 && point.x() < area.width() && point.y() >= 0 && point.y() < area.height();
    if (!inside) {
        return;
    }
    if (button == 1) {
        m_dragging = true;
        handleMouseMove(buttonCode(event->buttons()), shift, point);
    } else if (button == 2) {
        // One step toward the point, so the right button gives exact control.
        const std::int32_t target = ValueFromPoint(point.x(), point.y());
        if (target < m_value) {
            assignFromMouse(static_cast<std::int64_t>(m_value) - 1);
        } else if (target > m_value) {
            assignFromMouse(static_cast<std::int64_t>(m_value) + 1);
        }
    }
}

void cpvProgressBar::handleMouseMove(int buttons, int shift, QPointF point) {
    emit MouseMove(buttons, shift, point.x(), point.y());
    if (!m_mouseActive) {
        return;
    }
    const QRect area = drawingArea();
    const double x = std::clamp(point.x(), 0.0, static_cast<double>(area.width()));
    const double y = std::clamp(point.y(), 0.0, static_cast<double>(area.height()));
    if (m_dragging) {
        assignFromMouse(ValueFromPoint(x, y));
    }
}

void cpvProgressBar::mouseMoveEvent(QMouseEvent* event) {
    const QPointF point = event->position() - QPointF(drawingArea().topLeft());
    handleMouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()), point);
}

void cpvProgressBar::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    if (event->button() == Qt::LeftButton) {
        const bool click = m_leftPressed && rect().contains(event->position().toPoint());
        m_leftPressed = false;
        if (click) {
            emit Click();
        }
    }
}

void cpvProgressBar::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // The second press of a double click is reported as such, not as another press and click.
        m_leftPressed = false;
        emit DblClick();
        return;
    }
    mousePressEvent(event);
}

// --- saved form ----------------------------------------------------------------------------

void cpvProgressBar::writeProperties(PropertyBag& bag) const {
    const auto writeInt = [&bag](const char* name, std::int32_t value, std::int32_t byDefault) {
        if (value != byDefault) {
            bag.writeProperty(QLatin1String(name), value);
        }
    };
    const auto writeColor = [&bag](const char* name, std::uint32_t value, std::uint32_t byDefault) {
        if (value != byDefault) {
            bag.writeProperty(QLatin1String(name), value);
        }
    };
    const auto writeBool = [&bag](const char* name, bool value, bool byDefault) {
        if (value != byDefault) {
            bag.writeProperty(QLatin1String(name), value);
        }
    };
    // Pictures have no default: present ones are always written, absent ones read back as absent.
    const auto writePicture = [&bag](const char* name, const QPixmap& picture) {
        if (!picture.isNull()) {
            bag.writeProperty(QLatin1String(name), picture);
        }
    };

    writePicture("BarPicture", m_barPicture);
    writePicture("BarPictureBack", m_barPictureBack);
    writeInt("Appearance", m_appearance, DefaultAppearance);
    writeColor("BackColor", m_backColor, DefaultBackColor);
    writeColor("BackColorII", m_backColorII, DefaultBackColorII);
    writeInt("BorderStyle", m_borderStyle, DefaultBorderStyle);
    if (!m_caption.isEmpty()) {
        bag.writeProperty(QStringLiteral("Caption"), m_caption);
    }
    writeInt("CaptionFormat", m_captionFormat, DefaultCaptionFormat);
    writeInt("DrawMode", m_drawMode, DefaultDrawMode);
    writeInt("DrawStyle", m_drawStyle, DefaultDrawStyle);
    writeBool("Enabled", isEnabled(), DefaultEnabled);
    bag.writeProperty(QStringLiteral("Font"), font());
    writeColor("FontColor", m_fontColor, DefaultFontColor);
    writeInt("Max", m_max, DefaultMax);
    writeInt("Min", m_min, DefaultMin);
    writePicture("MouseIcon", m_mouseIcon);
    writeInt("Orientation", m_orientation, DefaultOrientation);
    writeInt("Value", m_value, DefaultValue);
    writeBool("MouseActive", m_mouseActive, DefaultMouseActive);
    writePicture("MouseIcon", m_mouseIcon);
    writeInt("MousePointer", m_mousePointer, DefaultMousePointer);
}

void cpvProgressBar::readProperties(const PropertyBag& bag) {
    // The control's own fields take what the form holds, unchecked: a form is trusted as written.
    m_caption = bag.readProperty(QStringLiteral("Caption"), QString()).toString();
    m_captionFormat = readInt32(bag, "CaptionFormat").value_or(DefaultCaptionFormat);
    m_max = readInt32(bag, "Max").value_or(DefaultMax);
    m_min = readInt32(bag, "Min").value_or(DefaultMin);
    m_mouseActive = readBool(bag, "MouseActive").value_or(DefaultMouseActive);
    m_orientation = readInt32(bag, "Orientation").value_or(DefaultOrientation);
    m_value = readInt32(bag, "Value").value_or(DefaultValue);

    // Surface properties go through the surface's own rules: a value it cannot take leaves the
    // current one in place.
    setEnabled(readBool(bag, "Enabled").value_or(DefaultEnabled));
    if (const std::uint32_t color = readColor(bag, "FontColor").value_or(DefaultFontColor);
        isValidColorValue(color)) {
        m_fontColor = color;
    }
    m_mouseIcon = readPixmap(bag, "MouseIcon");
    if (const QVariant storedFont = bag.readProperty(QStringLiteral("Font"));
        storedFont.typeId() == QMetaType::QFont) {
        setFont(storedFont.value<QFont>());
    }
    m_barPicture = readPixmap(bag, "BarPicture");
    m_barPictureBack = readPixmap(bag, "BarPictureBack");
    if (const int pointer = readInt32(bag, "MousePointer").value_or(DefaultMousePointer);
        isValidMousePointer(pointer)) {
        m_mousePointer = pointer;
    }
    if (const int mode = readInt32(bag, "DrawMode").value_or(DefaultDrawMode); isValidDrawMode(mode)) {
        m_drawMode = mode;
    }
    if (const int style = readInt32(bag, "DrawStyle").value_or(DefaultDrawStyle); isValidDrawStyle(style)) {
        m_drawStyle = style;
    }
    if (const int style = readInt32(bag, "BorderStyle").value_or(DefaultBorderStyle);
        isValidBorderStyle(style)) {
        m_borderStyle = style;
    }
    if (const int appearance = readInt32(bag, "Appearance").value_or(DefaultAppearance);
        isValidAppearance(appearance)) {
        m_appearance = appearance;
    }
    if (const std::uint32_t color = readColor(bag, "BackColor").value_or(DefaultBackColor);
        isValidColorValue(color)) {
        m_backColor = color;
    }
    m_backColorII = readColor(bag, "BackColorII").value_or(m_backColor);

    m_lastValue = m_min;
    m_span = static_cast<std::int64_t>(m_max) - m_min;
    m_dragging = false;
    applyBorder();
    applyCursor();
    applyBackPictureSize();
}

}  // namespace controls
