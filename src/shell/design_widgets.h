#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace shell {

// A frame drawn as an etched rectangle whose top edge runs through the middle of the first text line, with
// the title (when there is one) on a patch of the frame's background. Children sit at fixed positions from
// the frame's top left.
class EtchedFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit EtchedFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A label that reports a click (left press and release over it) and keeps the press to itself.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

// A straight line with no mouse handling of its own: presses on it reach the window beneath.
class LineWidget : public QWidget {
    Q_OBJECT
public:
    explicit LineWidget(QWidget* parent = nullptr);
    void setLineColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

// A check box whose caption wraps onto further lines when it is wider than the box, as the design's long
// captions
// ("Faire une copie des images non compressées") need.
class WrapCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit WrapCheckBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

}  // namespace shell
