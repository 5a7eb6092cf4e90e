#include <QApplication>
#include <QPainter>
#include <QtTest>

#include "caption_strip.h"
#include "design_fonts.h"
#include "picture_box.h"

using shell::cLogo;
using shell::PictureBox;

namespace {

QImage strip(PictureBox& box) {
    return box.persistentImage().toImage().convertToFormat(QImage::Format_RGB32);
}

int red(const QImage& image, int x, int y) {
    return qRed(image.pixel(x, y));
}

// The painted text: every pixel that differs from the flat background colour.
QRect textBounds(const QImage& image, QRgb background) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

}  // namespace

class CaptionStripTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { shell::loadDesignFonts(); }

    void equalColoursFillTheStripEvenly() {
        // The third tab button: 1815 twips, 121 pixels, one-pixel bands.
        PictureBox box;
        box.resize(22, 121);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setStartColor(0x606060);
        logo.setEndColor(0x606060);
        const QImage image = strip(box);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                QCOMPARE(image.pixel(x, y), qRgb(0x60, 0x60, 0x60));
            }
        }
    }

    void bandsOfAOnePixelStrip() {
        PictureBox box;
        box.resize(10, 121);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setEndColor(0x0000FF);  // red 255 at the top, black at the bottom
        logo.setStartColor(0x000000);
        logo.Draw();
        const QImage image = strip(box);
        // The two lowest bands both carry the start colour; band i above them (row 120 - i) 255·(i - 1) /
        // 121.
        QCOMPARE(red(image, 0, 120), 0);
        QCOMPARE(red(image, 0, 119), 0);
        QCOMPARE(red(image, 0, 118), 2);   // 2.107
        QCOMPARE(red(image, 5, 60), 124);  // 59 · 255 / 121 = 124.3
        QCOMPARE(red(image, 9, 0), 251);   // 119 · 255 / 121 = 250.8: the end colour is never reached
    }

    void tallStripsUseWiderBands() {
        PictureBox box;
        box.resize(4, 600);
        QCOMPARE(cLogo::bandHeight(600), 2);
        QCOMPARE(cLogo::bandHeight(509), 1);
        QCOMPARE(cLogo::bandHeight(510), 2);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setEndColor(0x0000FF);
        logo.setStartColor(0x000000);
        const QImage image = strip(box);
        // Bands two pixels high: rows 599-598 and 597-596 start colour, 595-594 round(2 · 255 / 600) = 1, and
        // the top band (rows 1-0, the 300th) 298 · 2 · 255 / 600 = 253.3.
        QCOMPARE(red(image, 0, 596), 0);
        QCOMPARE(red(image, 0, 595), 1);
        QCOMPARE(red(image, 0, 594), 1);
        QCOMPARE(red(image, 0, 593), 2);  // 4 · 255 / 600 = 1.7
        QCOMPARE(red(image, 0, 591), 3);  // 6 · 255 / 600 = 2.55
        QCOMPARE(red(image, 0, 1), 253);
        QCOMPARE(red(image, 0, 0), 253);
    }

    void halvesRoundToEven() {
        // Eight rows from red 10 to red 14: band i gets 10 + (i - 1) / 2, so 10.5, 11.5 and 12.5 are met.
        PictureBox box;
        box.resize(3, 8);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setStartColor(0x00000A);
        logo.setEndColor(0x00000E);
        const QImage image = strip(box);
        QCOMPARE(red(image, 0, 5), 10);  // band 2: 10.5
        QCOMPARE(red(image, 0, 4), 11);  // band 3: 11
        QCOMPARE(red(image, 0, 3), 12);  // band 4: 11.5
        QCOMPARE(red(image, 0, 1), 12);  // band 6: 12.5
        QCOMPARE(red(image, 0, 0), 13);  // band 7: 13
    }

    void captionRisesFromTheBottomLeft() {
        PictureBox box;
        box.resize(22, 121);
        box.setFont(shell::arialFont(9.75, true));
        box.setForeColor(Qt::white);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setCaption(QStringLiteral("L"));
        logo.setXDecal(3);
        logo.setStartColor(0x404040);
        logo.setEndColor(0x404040);
        const QImage image = strip(box);
        const QRect text = textBounds(image, qRgb(0x40, 0x40, 0x40));
        QVERIFY(!text.isEmpty());
        // The text cell starts at x = 3, y = 121 - 8 and the glyphs lie to its right and above it.
        QVERIFY2(text.left() >= 3 && text.left() <= 3 + 5, qPrintable(QString::number(text.left())));
        QVERIFY2(text.bottom() <= 113 && text.bottom() >= 113 - 4,
                 qPrintable(QString::number(text.bottom())));
        QVERIFY(text.right() <= 3 + 14);
        // Turned a quarter to the left, the stem of the L lies along the bottom of the glyph and its foot
        // along the right, where the baseline is; turned the other way they would be at the top and the left.
        int bottomRow = 0;
        int topRow = 0;
        for (int x = text.left(); x <= text.right(); ++x) {
            bottomRow += image.pixel(x, text.bottom()) != qRgb(0x40, 0x40, 0x40) ? 1 : 0;
            topRow += image.pixel(x, text.top()) != qRgb(0x40, 0x40, 0x40) ? 1 : 0;
        }
        QVERIFY2(bottomRow > topRow, qPrintable(QStringLiteral("%1 %2").arg(bottomRow).arg(topRow)));
    }

    void paintingSurvivesRepaints() {
        PictureBox box;
        box.resize(22, 50);
        box.setBackColor(Qt::green);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setStartColor(0x606060);
        logo.setEndColor(0x606060);
        const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(10, 25), qRgb(0x60, 0x60, 0x60));
        box.repaint();
        QCOMPARE(box.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(10, 25),
                 qRgb(0x60, 0x60, 0x60));
    }

    void sameColourDoesNotRedraw() {
        PictureBox box;
        box.resize(10, 20);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setStartColor(0x606060);
        logo.setEndColor(0x606060);
        box.persistentImage().fill(Qt::red);
        logo.setStartColor(0x606060);
        logo.setEndColor(0x606060);
        QCOMPARE(strip(box).pixel(5, 10), qRgb(255, 0, 0));
        logo.setStartColor(0x404040);
        QCOMPARE(strip(box).pixel(5, 19), qRgb(0x40, 0x40, 0x40));
    }

    void systemColoursComeFromThePalette() {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Button, QColor(12, 34, 56));
        QApplication::setPalette(palette);
        cLogo logo;
        QCOMPARE(logo.endRgb(), (cLogo::Rgb{12, 34, 56}));  // &H8000000F, the button face, by default
        logo.setStartColor(0x8000000F);
        QCOMPARE(logo.startRgb(), (cLogo::Rgb{12, 34, 56}));
        logo.setStartColor(0x00563412);
        QCOMPARE(logo.startRgb(), (cLogo::Rgb{0x12, 0x34, 0x56}));
        QApplication::setPalette(QPalette());
    }

    void emptyStripIsLeftAlone() {
        PictureBox box;
        box.resize(10, 0);
        cLogo logo;
        logo.setDrawingObject(&box);
        logo.setStartColor(0x123456);
        QVERIFY(!box.hasPersistentImage());
    }

    void fontRecordForTheTabFont() {
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(9.75);
        font.setBold(true);
        font.setItalic(true);
        const cLogo::LogFont record = cLogo::FontToLogFont(font, 96);
        QCOMPARE(record.height, -13);  // 9.75 pt rounds to 10 pt: 10 · 96 / 72 = 13.3
        QCOMPARE(record.weight, 700);
        QVERIFY(record.italic);
        QVERIFY(!record.underline);
        QCOMPARE(cLogo::FontToLogFont(shell::arialFont(8.25, false), 96).height, -11);  // 8 · 96 / 72 = 10.7
        font.setFamily(QString(40, QLatin1Char('x')));
        QCOMPARE(cLogo::FontToLogFont(font, 96).faceName.size(), 31);
    }
};

QTEST_MAIN(CaptionStripTest)
#include "caption_strip_test.moc"
