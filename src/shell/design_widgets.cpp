#include "design_widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace shell {

EtchedFrame::EtchedFrame(QWidget* parent) : QGroupBox(parent) {
    setAutoFillBackground(true);
}

void EtchedFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int lineY = metrics.height() / 2;
    const QRect box = rect().adjusted(0, lineY, -2, -2);
    // Shadow line first, highlight one pixel further down and right: the classic etched edge.
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(box);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(box.translated(1, 1));
    const QString text = title();
    if (!text.isEmpty()) {
        const int textWidth = metrics.horizontalAdvance(text);
        const QRect textRect(8, 0, textWidth + 4, metrics.height());
        painter.fillRect(textRect, palette().color(QPalette::Window));
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(textRect, Qt::AlignCenter, text);
    }
}

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) {
        emit clicked();
    }
}

LineWidget::LineWidget(QWidget* parent) : QWidget(parent), m_color(Qt::black) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineWidget::setLineColor(const QColor& color) {
    m_color = color;
    update();
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_color);
    if (width() <= height()) {
        painter.drawLine(0, 0, 0, height() - 1);
    } else {
        painter.drawLine(0, 0, width() - 1, 0);
    }
}

WrapCheckBox::WrapCheckBox(QWidget* parent) : QCheckBox(parent) {}

void WrapCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString text = option.text;
    option.text.clear();
    const QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    // The indicator sits level with the first line of the caption.
    const QFontMetrics metrics(font());
    const int indicatorTop = std::max(0, (metrics.height() - indicator.height()) / 2);
    option.rect = QRect(indicator.left(), indicatorTop, indicator.width(), indicator.height());
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);
    if (text.isEmpty()) {
        return;
    }
    const int textLeft =
        indicator.right() + 1 + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
    const QRect textRect(textLeft, 0, width() - textLeft, height());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

bool WrapCheckBox::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

}  // namespace shell
