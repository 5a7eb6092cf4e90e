#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace shell {

// A painted surface as the window design uses it: a background colour, an optional picture drawn unscaled at
// the top left, an optional sunken single border, and a persistent image that drawing code paints into and
// that survives every later repaint. Pages, tab buttons, flags and the version strip are all of this kind.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setBackColor(const QColor& color);
    QColor backColor() const { return m_backColor; }
    void setForeColor(const QColor& color);
    QColor foreColor() const { return m_foreColor; }

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return m_picture; }

    // The border takes two pixels on each side out of the client area, as a sunken 3D edge does.
    void setBorder(bool on);
    bool hasBorder() const { return m_border; }
    QRect clientRect() const;

    // The persistent image, sized to the client area and started from the background and the picture;
    // painting into it shows after refresh().
    QPixmap& persistentImage();
    bool hasPersistentImage() const { return !m_image.isNull(); }
    void clearPersistentImage();
    void refresh() { update(); }

signals:
    void mousePressed(Qt::MouseButton button, const QPoint& pos);
    void mouseReleased(Qt::MouseButton button, const QPoint& pos);
    // Press and release of the left button over the box, as a click is counted on a button.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintBase(QPainter& painter, const QRect& client) const;

    QColor m_backColor;
    QColor m_foreColor;
    QPixmap m_picture;
    QPixmap m_image;
    bool m_border = false;
    bool m_leftPressed = false;
};

}  // namespace shell
