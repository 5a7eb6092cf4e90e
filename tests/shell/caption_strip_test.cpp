#include <QApplication>
#include <QtTest>

#include "caption_strip.h"
#include "design_fonts.h"
#include "picture_box.h"

using shell::cLogo;
using shell::PictureBox;

namespace {

QImage paint(PictureBox& box, cLogo& logo, std::uint32_t start, std::uint32_t end) {
    logo.setDrawingObject(&box);
    logo.setStartColor(start);
    logo.setEndColor(end);
    return box.persistentImage().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage filled(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

}  // namespace

class CaptionStripTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { shell::loadDesignFonts(); }

    void bandsFollowTheFormula() {
        // The two lowest bands both carry the start colour; band i above them gets
        // start + (end - start) * (i - 1) * bandHeight / height, halves to even; the end colour is never
        // reached.
        // The program paints one colour only; two boundary strips pin the gradient. 600 rows in two-pixel bands:
        // 0.85, 1.7, 2.55 .. 253.3; 8 rows: 10.5, 11, 11.5, 12.5, 13.
        using Strip = std::tuple<int, std::uint32_t, std::uint32_t, std::vector<std::pair<int, int>>>;
        const std::vector<Strip> strips{
            {600, 0, 0xFF, {{596, 0}, {595, 1}, {594, 1}, {593, 2}, {591, 3}, {0, 253}}},
            {8, 0x0A, 0x0E, {{5, 10}, {4, 11}, {3, 12}, {1, 12}, {0, 13}}}};
        for (const auto& [height, start, end, redByRow] : strips) {
            PictureBox box;
            box.resize(4, height);
            cLogo logo;
            const QImage image = paint(box, logo, start, end);
            for (const auto& [row, red] : redByRow) {
                QCOMPARE(image.copy(0, row, 4, 1), filled(QSize(4, 1), qRgb(red, 0, 0)));
            }
        }
        QCOMPARE(cLogo::bandHeight(509), 1);
        QCOMPARE(cLogo::bandHeight(510), 2);
    }

    void aPaintedStripSurvivesRepaintsAndTheSameColourDoesNotRedraw() {
        PictureBox box;  // the third tab button: 1815 twips, 121 pixels
        box.resize(22, 121);
        box.setBackColor(Qt::green);
        cLogo logo;
        QCOMPARE(paint(box, logo, 0x606060, 0x606060), filled(box.size(), qRgb(0x60, 0x60, 0x60)));
        box.repaint();
        QCOMPARE(box.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(10, 60),
                 qRgb(0x60, 0x60, 0x60));
        box.persistentImage().fill(Qt::red);
        QCOMPARE(paint(box, logo, 0x606060, 0x606060).pixel(5, 10), qRgb(255, 0, 0));
        QCOMPARE(paint(box, logo, 0x404040, 0x606060).pixel(5, 120), qRgb(0x40, 0x40, 0x40));

        PictureBox empty;
        empty.resize(10, 0);
        logo.setDrawingObject(&empty);
        logo.setStartColor(0x123456);
        QVERIFY(!empty.hasPersistentImage());
    }

    void captionRisesFromTheBottomLeft() {
        PictureBox box;
        box.resize(22, 121);
        box.setFont(shell::arialFont(9.75, true));
        box.setForeColor(Qt::white);
        cLogo logo;
        logo.setCaption(QStringLiteral("L"));
        logo.setXDecal(3);
        const QImage image = paint(box, logo, 0x404040, 0x404040);
        QRect text;
        QList<int> inkByRow(image.height());
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != qRgb(0x40, 0x40, 0x40)) {
                    text |= QRect(x, y, 1, 1);
                    ++inkByRow[y];
                }
            }
        }
        // The text cell starts at x = 3, y = 121 - 8 and the glyphs lie to its right and above it.
        QVERIFY2(text.left() >= 3 && text.left() <= 8 && text.right() <= 17,
                 qPrintable(QString::number(text.left())));
        QVERIFY2(text.bottom() <= 113 && text.bottom() >= 109, qPrintable(QString::number(text.bottom())));
        // Turned a quarter to the left, the stem of the L lies along the bottom of the glyph; turned the
        // other way it would be at the top.
        QVERIFY(inkByRow[text.bottom()] > inkByRow[text.top()]);
    }

    // The tab font, 9.75 pt bold: sizes round to whole points, then to pixels (10 · 96 / 72 = 13.3).
    void fontRecordForTheTabFont() {
        QFont font = shell::arialFont(9.75, true);
        font.setItalic(true);
        const cLogo::LogFont record = cLogo::FontToLogFont(font, 96);
        QVERIFY(record.height == -13 && record.weight == 700 && record.italic && !record.underline);
        QCOMPARE(cLogo::FontToLogFont(shell::arialFont(8.25, false), 96).height, -11);  // 8 · 96 / 72 = 10.7
        font.setFamily(QString(40, QLatin1Char('x')));
        QCOMPARE(cLogo::FontToLogFont(font, 96).faceName.size(), 31);
    }

    // Colours go through the one colour translator (color_value_test); the default end colour is the button face.
    void theDefaultEndColourIsTheButtonFace() {
        const QColor face = QApplication::palette().color(QPalette::Button);
        QCOMPARE(cLogo().endRgb(), (cLogo::Rgb{face.red(), face.green(), face.blue()}));
    }
};

QTEST_MAIN(CaptionStripTest)
#include "caption_strip_test.moc"
