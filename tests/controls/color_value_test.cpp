#include <QtTest>

#include "color_value.h"

using controls::translateColor;

// One translator serves the progress bar and the main window's painted strips.
class ColorValueTest : public QObject {
    Q_OBJECT

    // Every role in every group a colour of its own, so that a system colour taken from the wrong role or
    // group cannot pass by chance.
    static QPalette distinctPalette() {
        QPalette palette;
        int n = 1;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                palette.setColor(group, static_cast<QPalette::ColorRole>(role), QColor(n, 255 - n, n * 3 % 256));
                ++n;
            }
        }
        return palette;
    }

private slots:
    void plainColoursKeepRedInTheLowByte() {
        const QPalette palette = distinctPalette();
        QCOMPARE(translateColor(0x00332211u, palette), QColor(0x11, 0x22, 0x33));
    }

    void systemColoursFollowTheirRole_data() {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("role");
        // The design's own values first; then those where a wrong role would break a text-on-background pair.
        QTest::newRow("button face") << 0x8000000Fu << int(QPalette::Active) << int(QPalette::Button);
        QTest::newRow("button text") << 0x80000012u << int(QPalette::Active) << int(QPalette::ButtonText);
        QTest::newRow("active caption") << 0x80000002u << int(QPalette::Active) << int(QPalette::Highlight);
        QTest::newRow("caption text") << 0x80000009u << int(QPalette::Active) << int(QPalette::HighlightedText);
        QTest::newRow("inactive caption") << 0x80000003u << int(QPalette::Inactive) << int(QPalette::Highlight);
        QTest::newRow("inactive caption text")
            << 0x80000013u << int(QPalette::Inactive) << int(QPalette::HighlightedText);
        QTest::newRow("active border") << 0x8000000Au << int(QPalette::Active) << int(QPalette::Button);
        QTest::newRow("grey text") << 0x80000011u << int(QPalette::Disabled) << int(QPalette::Text);
        QTest::newRow("menu bar") << 0x8000001Eu << int(QPalette::Active) << int(QPalette::Window);
    }
    void systemColoursFollowTheirRole() {
        QFETCH(quint32, value);
        QFETCH(int, group);
        QFETCH(int, role);
        const QPalette palette = distinctPalette();
        QCOMPARE(translateColor(value, palette),
                 palette.color(QPalette::ColorGroup(group), QPalette::ColorRole(role)));
        QVERIFY(controls::isValidColorValue(value));
    }

    void valuesThatNameNoColourPaintBlack_data() {
        QTest::addColumn<quint32>("value");
        QTest::newRow("unused system index 25") << 0x80000019u;
        QTest::newRow("index past the table") << 0x8000001Fu;
        QTest::newRow("bits above the index") << 0x80000112u;
        QTest::newRow("palette index form") << 0x01000000u;
    }
    void valuesThatNameNoColourPaintBlack() {
        QFETCH(quint32, value);
        const QPalette palette = distinctPalette();
        QVERIFY(!translateColor(value, palette).has_value());
        QVERIFY(!controls::isValidColorValue(value));
        QCOMPARE(controls::colorForPainting(value, palette), QColor(Qt::black));
    }
};

QTEST_MAIN(ColorValueTest)
#include "color_value_test.moc"
