#pragma once

// cpvProgressBar: a bar showing where Value lies between Min and Max, in one of six directions,
// either filled in the font colour or revealing BarPicture over BarPictureBack, with an optional
// caption in the middle. With MouseActive the user sets the value by clicking or dragging.

#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

#include "color_value.h"
#include "property_bag.h"

namespace controls {

class cpvProgressBar : public QWidget {
    Q_OBJECT
    // Value is the user property: what a holder means when it assigns the control itself.
    Q_PROPERTY(int Value READ value WRITE setValue USER true)
    Q_PROPERTY(int Min READ min WRITE setMin)
    Q_PROPERTY(int Max READ max WRITE setMax)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(int CaptionFormat READ captionFormat WRITE setCaptionFormat)
    Q_PROPERTY(int Orientation READ orientation WRITE setOrientation)
    Q_PROPERTY(QPixmap BarPicture READ barPicture WRITE setBarPicture)
    Q_PROPERTY(QPixmap BarPictureBack READ barPictureBack WRITE setBarPictureBack)
    Q_PROPERTY(uint BackColorII READ backColorII WRITE setBackColorII)
    Q_PROPERTY(bool MouseActive READ mouseActive WRITE setMouseActive)
    Q_PROPERTY(int Appearance READ appearance WRITE setAppearance)
    Q_PROPERTY(uint BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(int BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(int DrawMode READ drawMode WRITE setDrawMode)
    Q_PROPERTY(int DrawStyle READ drawStyle WRITE setDrawStyle)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(uint FontColor READ fontColor WRITE setFontColor)
    Q_PROPERTY(QPixmap MouseIcon READ mouseIcon WRITE setMouseIcon)
    Q_PROPERTY(int MousePointer READ mousePointer WRITE setMousePointer)

public:
    // Appearance
    static constexpr int Flat = 0;
    static constexpr int ThreeD = 1;
    // DrawMode: the raster operations 1 (black) to 16 (white); 13 paints the colour as it is.
    static constexpr int CopyPen = 13;
    // MousePointer 99 shows MouseIcon.
    static constexpr int CustomPointer = 99;

    explicit cpvProgressBar(QWidget* parent = nullptr);

    // The setters that return a truth value refuse a value the control cannot hold (out of range, no such
    // colour or style) by returning false: the control then stays exactly as it was and raises no event.
    // A holder that assigns known values may ignore the result.

    std::int32_t value() const { return m_value; }
    bool setValue(std::int32_t value);
    std::int32_t min() const { return m_min; }
    bool setMin(std::int32_t min);
    std::int32_t max() const { return m_max; }
    bool setMax(std::int32_t max);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    int captionFormat() const { return m_captionFormat; }
    void setCaptionFormat(int format);
    int orientation() const { return m_orientation; }
    void setOrientation(int orientation);

    QPixmap barPicture() const { return m_barPicture; }
    void setBarPicture(const QPixmap& picture);
    QPixmap barPictureBack() const { return m_barPictureBack; }
    void setBarPictureBack(const QPixmap& picture);

    // Colours are 0x00BBGGRR values, or system colours (see color_value.h).
    std::uint32_t backColorII() const { return m_backColorII; }
    void setBackColorII(std::uint32_t color);
    std::uint32_t backColor() const { return m_backColor; }
    bool setBackColor(std::uint32_t color);
    std::uint32_t fontColor() const { return m_fontColor; }
    bool setFontColor(std::uint32_t color);

    bool mouseActive() const { return m_mouseActive; }
    void setMouseActive(bool active);

    int appearance() const { return m_appearance; }
    void setAppearance(int appearance);
    int borderStyle() const { return m_borderStyle; }
    bool setBorderStyle(int style);
    int drawMode() const { return m_drawMode; }
    bool setDrawMode(int mode);
    int drawStyle() const { return m_drawStyle; }
    bool setDrawStyle(int style);
    QPixmap mouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QPixmap& icon);
    int mousePointer() const { return m_mousePointer; }
    bool setMousePointer(int pointer);

    // Redraws at once rather than at the next paint cycle.
    void Refresh();

    // The value a mouse point (x, y) inside the drawing area stands for, within Min..Max.
    std::int32_t ValueFromPoint(double x, double y) const;

    // What the current state shows: the caption text (empty for none) and the bar in drawing-area
    // coordinates (empty when there is none to draw).
    QString captionText() const;
    std::optional<QRect> barRectangle() const;
    // The area inside the border; mouse coordinates and drawing positions are relative to it.
    QRect drawingArea() const { return contentsRect(); }

    // The saved form. Writing skips values equal to their defaults; reading takes what the form
    // holds without range checks and without raising events.
    void writeProperties(PropertyBag& bag) const;
    void readProperties(const PropertyBag& bag);

    QSize sizeHint() const override;

signals:
    void Click();
    void DblClick();
    // Button: 1 left, 2 right, 4 middle (a combination for MouseMove); Shift: 1 Shift, 2 Ctrl, 4 Alt.
    // Coordinates are relative to the drawing area.
    void MouseDown(int button, int shift, double x, double y);
    void MouseMove(int button, int shift, double x, double y);
    void MaxValeur();
    void MinValeur();
    void ValeurChange();
    // Raised by every property assignment, so a holder knows its saved form is out of date.
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QColor resolvedColor(std::uint32_t value) const;
    int borderWidth() const;
    void applyBorder();
    void applyCursor();
    void applyBackPictureSize();
    void paintBorder(QPainter& painter) const;
    void handleMouseMove(int buttons, int shift, QPointF point);
    void assignFromMouse(std::int64_t value);

    std::int32_t m_value = 0;
    std::int32_t m_min = 0;
    std::int32_t m_max = 100;
    // 64-bit so that a range spanning the whole 32-bit line cannot overflow.
    std::int64_t m_span = 100;
    std::int32_t m_lastValue = 0;
    QString m_caption;
    int m_captionFormat = 0;
    int m_orientation = 0;
    QPixmap m_barPicture;
    QPixmap m_barPictureBack;
    std::uint32_t m_backColorII = 0;
    bool m_mouseActive = true;

    int m_appearance = ThreeD;
    std::uint32_t m_backColor = systemColorValue(SystemColor::ButtonFace);
    int m_borderStyle = 0;
    int m_drawMode = CopyPen;
    int m_drawStyle = 0;
    std::uint32_t m_fontColor = systemColorValue(SystemColor::ButtonText);
    QPixmap m_mouseIcon;
    int m_mousePointer = 0;

    bool m_dragging = false;
    bool m_leftPressed = false;
};

}  // namespace controls
