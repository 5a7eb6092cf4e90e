#pragma once

#include <QFont>
#include <QPointer>
#include <QString>

#include <cstdint>

#include "picture_box.h"

namespace shell {

// Paints a title strip into a PictureBox: a vertical gradient from StartColor at the bottom towards EndColor
// at the top, in bands, with the caption rotated to read upwards. The painting goes into the box's persistent
// image, so it stays until the next Draw.
class cLogo {
public:
    struct Rgb {
        int red = 0;
        int green = 0;
        int blue = 0;
        bool operator==(const Rgb&) const = default;
    };

    // The font record the text is drawn with: negative height is the character height in device pixels.
    struct LogFont {
        int height = 0;
        int weight = 0;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        QString faceName;
    };

    cLogo();

    void setXDecal(int pixels) { m_xDecal = pixels; }
    int XDecal() const { return m_xDecal; }
    void setCaption(const QString& caption) { m_caption = caption; }
    QString Caption() const { return m_caption; }
    void setDrawingObject(PictureBox* box) { m_drawingObject = box; }
    PictureBox* DrawingObject() const { return m_drawingObject; }

    // Setting a colour other than the one held translates it and redraws when a DrawingObject is set; setting
    // the value already held does nothing at all.
    std::uint32_t StartColor() const { return m_startColor; }
    void setStartColor(std::uint32_t color);
    std::uint32_t EndColor() const { return m_endColor; }
    void setEndColor(std::uint32_t color);
    Rgb startRgb() const { return m_startRgb; }
    Rgb endRgb() const { return m_endRgb; }

    void Draw();

    // Band height for a strip H pixels high: H / 255, at least 1, so no strip takes more than 510 fills.
    static int bandHeight(int stripHeight);
    // Colour of band i (0 at the bottom) of a strip H pixels high, halves rounded to even.
    static Rgb bandColor(const Rgb& start, const Rgb& end, int stripHeight, int band);
    static LogFont FontToLogFont(const QFont& font, int pixelsPerInchY);

private:
    static Rgb toRgb(std::uint32_t color);

    QPointer<PictureBox> m_drawingObject;
    QString m_caption;
    int m_xDecal = 0;
    std::uint32_t m_startColor = 0;
    std::uint32_t m_endColor = 0x8000000Fu;
    Rgb m_startRgb;
    Rgb m_endRgb;
};

}  // namespace shell
