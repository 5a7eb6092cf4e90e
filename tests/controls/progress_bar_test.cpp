#include <QApplication>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QTest>

#include <functional>
#include <limits>

#include "bar_picture.h"
#include "progress_bar.h"

using namespace controls;

namespace {

constexpr std::uint32_t Blue = 0x00FF0000;
constexpr std::uint32_t Red = 0x000000FF;

QPixmap solid(int width, int height, const QColor& color) {
    QPixmap pixmap(width, height);
    pixmap.fill(color);
    return pixmap;
}

QColor pixel(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y);
}

void sendMouse(QWidget& widget, QEvent::Type type, QPointF pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, widget.mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

template <typename Assignment>
bool refused(Assignment assign) {
    try {
        assign();
    } catch (const InvalidPropertyValue& e) {
        return e.code() == 380;
    }
    return false;
}

// A 200 x 20 bar without border, blue with a red bar, recording its value events.
struct Fixture {
    cpvProgressBar bar;
    QStringList events;

    Fixture() {
        bar.resize(200, 20);
        bar.setBackColor(Blue);
        bar.setFontColor(Red);
        QObject::connect(&bar, &cpvProgressBar::ValeurChange, [this] { events << "ValeurChange"; });
        QObject::connect(&bar, &cpvProgressBar::MaxValeur, [this] { events << "MaxValeur"; });
        QObject::connect(&bar, &cpvProgressBar::MinValeur, [this] { events << "MinValeur"; });
        QObject::connect(&bar, &cpvProgressBar::Click, [this] { events << "Click"; });
    }
    QStringList take() { return std::exchange(events, {}); }
};

}  // namespace

class ProgressBarTest : public QObject {
    Q_OBJECT

private slots:
    void defaultsWhenCreated() {
        QWidget holder;
        holder.setFont(QFont("Serif", 17));
        cpvProgressBar bar(&holder);
        // clang-format off
        const std::pair<const char*, QVariant> defaults[] = {
            {"Value", 0}, {"Min", 0}, {"Max", 100}, {"CaptionFormat", 0}, {"Orientation", 0}, {"Caption", QString()},
            {"BackColorII", 0u}, {"MouseActive", true}, {"Appearance", 1}, {"BackColor", 0x8000000Fu},
            {"FontColor", 0x80000012u}, {"DrawMode", 13}, {"MousePointer", 0}, {"Font", holder.font()}};
        // clang-format on
        for (const auto& [name, value] : defaults) {
            QCOMPARE(bar.property(name), value);
        }
        QVERIFY(bar.barPicture().isNull() && bar.barPictureBack().isNull());
        QCOMPARE(bar.metaObject()->userProperty().name(), "Value");
    }

    void refusalsLeaveTheControlUnchanged() {
        Fixture f;
        f.bar.setMax(50);
        f.bar.setMin(10);
        f.bar.setValue(20);
        f.take();

        // clang-format off
        const std::function<void()> refusedAssignments[] = {
            [&] { f.bar.setMax(10); }, [&] { f.bar.setMax(5); }, [&] { f.bar.setMin(50); },
            [&] { f.bar.setMin(60); }, [&] { f.bar.setValue(9); }, [&] { f.bar.setValue(51); },
            [&] { f.bar.setBackColor(0x01000000); }, [&] { f.bar.setFontColor(0x80000019); },  // no colour 25
            [&] { f.bar.setBorderStyle(2); }, [&] { f.bar.setDrawMode(17); }, [&] { f.bar.setDrawStyle(7); },
            [&] { f.bar.setMousePointer(16); }};
        // clang-format on
        for (const auto& assign : refusedAssignments) {
            QVERIFY(refused(assign));
        }
        QVERIFY(f.bar.min() == 10 && f.bar.max() == 50 && f.bar.value() == 20);
        QVERIFY(f.bar.backColor() == Blue && f.bar.fontColor() == Red);
        QVERIFY(f.bar.borderStyle() == 0 && f.bar.drawMode() == 13 && f.bar.drawStyle() == 0);
        QCOMPARE(f.bar.mousePointer(), 0);
        QCOMPARE(f.take(), QStringList());

        // An appearance the surface cannot take is ignored, not refused.
        f.bar.setAppearance(7);
        QCOMPARE(f.bar.appearance(), cpvProgressBar::ThreeD);
        QCOMPARE(f.bar.backColor(), Blue);
    }

    void valueEventsInOrder() {
        Fixture f;
        f.bar.setValue(0);
        QCOMPARE(f.take(), QStringList());
        f.bar.setValue(40);
        QCOMPARE(f.take(), QStringList({"ValeurChange"}));
        f.bar.setValue(40);
        QCOMPARE(f.take(), QStringList());
        f.bar.setValue(100);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "MaxValeur"}));
        f.bar.setValue(0);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "MinValeur"}));
        f.bar.setMax(200);
        QCOMPARE(f.bar.value(), 0);
        QCOMPARE(f.take(), QStringList());
    }

    void minAssignmentMovesValue() {
        Fixture f;
        f.bar.setValue(40);
        f.take();
        f.bar.setCaptionFormat(2);
        QString captionSeenByHandler;
        connect(&f.bar, &cpvProgressBar::ValeurChange, &f.bar,
                [&] { captionSeenByHandler = f.bar.captionText(); });

        f.bar.setMin(50);
        QCOMPARE(f.bar.value(), 50);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "MinValeur"}));
        QCOMPARE(captionSeenByHandler, QString("100%"));  // 50 / (100 - 50), not 50 / 100

        f.bar.setMin(50);  // Value already there: nothing to report
        QCOMPARE(f.take(), QStringList());
    }

    void wholeRangeDoesNotOverflow() {
        Fixture f;
        f.bar.setMax(std::numeric_limits<std::int32_t>::max());
        f.bar.setMin(std::numeric_limits<std::int32_t>::min());
        f.bar.setCaptionFormat(5);
        QCOMPARE(f.bar.captionText(), QString("0%"));
        f.take();
        f.bar.setValue(std::numeric_limits<std::int32_t>::max());
        QCOMPARE(f.take(), QStringList({"ValeurChange", "MaxValeur"}));
        QCOMPARE(f.bar.captionText(), QString("100%"));
        QCOMPARE(f.bar.barRectangle(), std::optional<QRect>(QRect(0, 0, 200, 20)));
        f.bar.setCaptionFormat(6);
        QCOMPARE(f.bar.captionText(), "100" + QLocale::system().decimalPoint() + "0%");
    }

    void paintsTheBarInEachDirection() {
        Fixture f;
        f.bar.setValue(50);
        QCOMPARE(pixel(f.bar, 99, 10), QColor(Qt::red));
        QCOMPARE(pixel(f.bar, 100, 10), QColor(Qt::blue));

        f.bar.setOrientation(2);
        const QImage centre = f.bar.grab().toImage();
        QCOMPARE(centre.pixelColor(49, 10), QColor(Qt::blue));
        QCOMPARE(centre.pixelColor(50, 10), QColor(Qt::red));
        QCOMPARE(centre.pixelColor(149, 10), QColor(Qt::red));
        QCOMPARE(centre.pixelColor(150, 10), QColor(Qt::blue));

        f.bar.setOrientation(0);
        f.bar.setDrawMode(6);  // invert what is there: blue becomes yellow
        QCOMPARE(pixel(f.bar, 10, 10), QColor(Qt::yellow));

        f.bar.setDrawMode(13);
        f.bar.setFontColor(0x80000012);  // button text, from the palette
        QPalette palette = f.bar.palette();
        palette.setColor(QPalette::ButtonText, Qt::green);
        f.bar.setPalette(palette);
        QCOMPARE(pixel(f.bar, 10, 10), QColor(Qt::green));
    }

    void barPictureRevealedOverBackPicture() {
        Fixture f;
        f.bar.setBarPictureBack(solid(120, 16, Qt::yellow));
        QCOMPARE(f.bar.size(), QSize(120, 16));
        f.bar.show();
        f.bar.resize(300, 50);  // the back picture keeps the size
        QCOMPARE(f.bar.size(), QSize(120, 16));

        f.bar.setBarPicture(solid(100, 16, Qt::green));
        f.bar.setValue(25);  // bar 0..30
        QImage image = f.bar.grab().toImage();
        QCOMPARE(image.pixelColor(29, 8), QColor(Qt::green));
        QCOMPARE(image.pixelColor(30, 8), QColor(Qt::yellow));
        f.bar.setValue(100);  // the bar reaches past the picture's right edge
        image = f.bar.grab().toImage();
        QCOMPARE(image.pixelColor(99, 8), QColor(Qt::green));
        QCOMPARE(image.pixelColor(100, 8), QColor(Qt::yellow));

        // Clearing the back picture clears the background too.
        f.bar.setBarPicture(QPixmap());
        f.bar.setBarPictureBack(QPixmap());
        f.bar.setValue(0);
        QCOMPARE(pixel(f.bar, 60, 8), QColor(Qt::blue));
    }

    void rightClickStepsByOne() {
        Fixture f;
        f.bar.setValue(50);
        f.take();
        sendMouse(f.bar, QEvent::MouseButtonPress, {20, 10}, Qt::RightButton, Qt::RightButton);
        sendMouse(f.bar, QEvent::MouseButtonRelease, {20, 10}, Qt::RightButton, Qt::NoButton);
        QCOMPARE(f.bar.value(), 49);
        sendMouse(f.bar, QEvent::MouseButtonPress, {190, 10}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(f.bar.value(), 50);
        sendMouse(f.bar, QEvent::MouseButtonPress, {100, 10}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(f.bar.value(), 50);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "ValeurChange"}));

        int presses = 0;
        connect(&f.bar, &cpvProgressBar::MouseDown, &f.bar, [&] { ++presses; });
        f.bar.setMouseActive(false);
        sendMouse(f.bar, QEvent::MouseButtonPress, {20, 10}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(f.bar.value(), 50);
        QCOMPARE(presses, 1);
    }

    void dragFollowsAndStopsAtTheEdges() {
        Fixture f;
        QList<double> movesX;
        connect(&f.bar, &cpvProgressBar::MouseMove, &f.bar, [&](int, int, double x, double) { movesX << x; });
        sendMouse(f.bar, QEvent::MouseButtonPress, {50, 10}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(f.bar.value(), 25);
        sendMouse(f.bar, QEvent::MouseMove, {500, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(f.bar.value(), 100);
        sendMouse(f.bar, QEvent::MouseMove, {-30, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(f.bar.value(), 0);
        sendMouse(f.bar, QEvent::MouseButtonRelease, {-30, 10}, Qt::LeftButton, Qt::NoButton);
        sendMouse(f.bar, QEvent::MouseMove, {150, 10}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(f.bar.value(), 0);  // released: moves no longer set the value
        QCOMPARE(movesX, QList<double>({50, 500, -30, 150}));
        QCOMPARE(f.take(),
                 QStringList({"ValeurChange", "ValeurChange", "MaxValeur", "ValeurChange", "MinValeur"}));

        sendMouse(f.bar, QEvent::MouseButtonPress, {20, 10}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(f.bar, QEvent::MouseButtonRelease, {20, 10}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "Click"}));
    }

    void mouseCoordinatesStartInsideTheBorder() {
        Fixture f;
        f.bar.setBorderStyle(1);  // 3-D: two pixels each side, drawing area 196 x 16
        QCOMPARE(f.bar.drawingArea(), QRect(2, 2, 196, 16));
        f.bar.setAppearance(cpvProgressBar::Flat);  // one pixel, all round
        QCOMPARE(f.bar.drawingArea(), QRect(1, 1, 198, 18));
        const QColor frame = f.bar.palette().color(QPalette::Shadow);
        QCOMPARE(pixel(f.bar, 199, 10).rgb(), frame.rgb());
        QCOMPARE(pixel(f.bar, 100, 19).rgb(), frame.rgb());
        f.bar.setAppearance(cpvProgressBar::ThreeD);
        QCOMPARE(f.bar.ValueFromPoint(98, 0), 50);
        double reportedX = -1;
        connect(&f.bar, &cpvProgressBar::MouseDown, &f.bar,
                [&](int, int, double x, double) { reportedX = x; });
        sendMouse(f.bar, QEvent::MouseButtonPress, {100, 10}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(reportedX, 98.0);
        QCOMPARE(f.bar.value(), 50);
        sendMouse(f.bar, QEvent::MouseButtonRelease, {100, 10}, Qt::LeftButton, Qt::NoButton);

        sendMouse(f.bar, QEvent::MouseButtonPress, {1, 10}, Qt::LeftButton, Qt::LeftButton);  // on the border
        QCOMPARE(f.bar.value(), 50);
    }

    void savedFormOfANewControl() {
        QWidget holder;
        cpvProgressBar bar(&holder);
        PropertyBag bag;
        bar.writeProperties(bag);
        // Only what differs from the read-back defaults, plus the font, which has none.
        QCOMPARE(bag.names(), QStringList({"Appearance", "BackColor", "Font"}));
    }

    void savedFormRoundTrip() {
        Fixture source;
        const QPixmap back = makeProgressBarPicture(true);
        source.bar.setBarPicture(makeProgressBarPicture(false));
        source.bar.setBarPictureBack(back);
        // clang-format off
        const std::pair<const char*, QVariant> assigned[] = {
            {"Appearance", 0}, {"BackColorII", 0x00654321u}, {"BorderStyle", 1}, {"Caption", "Travail"},
            {"CaptionFormat", 99}, {"DrawMode", 7}, {"DrawStyle", 2}, {"Enabled", false}, {"Font", QFont("Serif", 13)},
            {"Max", 500}, {"Min", 10}, {"Orientation", 3}, {"Value", 250}, {"MouseActive", false},
            {"MousePointer", 99}};
        // clang-format on
        for (const auto& [name, value] : assigned) {
            QVERIFY(source.bar.setProperty(name, value));
        }
        source.bar.setMouseIcon(solid(16, 16, Qt::black));
        PropertyBag bag;
        source.bar.writeProperties(bag);
        QCOMPARE(bag.names(), QStringList({"BarPicture", "BarPictureBack", "BackColor", "BackColorII",
                                           "BorderStyle", "Caption", "CaptionFormat", "DrawMode", "DrawStyle",
                                           "Enabled", "Font", "FontColor", "Max", "Min", "MouseIcon",
                                           "Orientation", "Value", "MouseActive", "MousePointer"}));

        Fixture loaded;
        loaded.take();
        loaded.bar.readProperties(bag);
        QCOMPARE(loaded.take(), QStringList());
        for (const auto& [name, value] : assigned) {
            QCOMPARE(loaded.bar.property(name), value);
        }
        QVERIFY(loaded.bar.backColor() == Blue && loaded.bar.fontColor() == Red);
        QCOMPARE(loaded.bar.barPicture().toImage(), source.bar.barPicture().toImage());
        QCOMPARE(loaded.bar.barPictureBack().toImage(), back.toImage());
        QCOMPARE(loaded.bar.mouseIcon().toImage(), source.bar.mouseIcon().toImage());
        QCOMPARE(loaded.bar.size(), QSize(BarPictureWidth, BarPictureHeight));

        // Loading reports nothing and takes Min as the last reported value.
        loaded.bar.setEnabled(true);
        loaded.bar.setValue(250);
        QCOMPARE(loaded.take(), QStringList({"ValeurChange"}));
    }

    void readBackDefaults() {
        Fixture f;
        const QFont before = f.bar.font();
        f.bar.setBackColorII(0x00ABCDEF);
        QCOMPARE(f.bar.backColorII(), 0x00ABCDEFu);
        QCOMPARE(f.bar.property("BackColorII").toUInt(), 0x00ABCDEFu);  // reading leaves it as it was
        QCOMPARE(f.bar.backColorII(), 0x00ABCDEFu);
        f.bar.readProperties(PropertyBag());
        // clang-format off
        const std::pair<const char*, QVariant> readBack[] = {
            {"Appearance", 0}, {"BackColor", 0u}, {"BackColorII", 0u}, {"FontColor", 0x80000012u}, {"DrawMode", 13},
            {"Max", 100}, {"MouseActive", true}, {"Enabled", true}, {"Font", before}};
        // clang-format on
        for (const auto& [name, value] : readBack) {
            QCOMPARE(f.bar.property(name), value);
        }

        PropertyBag bag;
        bag.writeProperty("backcolor", 0x00123456u);
        bag.writeProperty("FONTCOLOR", -2147483630);  // 0x80000012 stored as a signed number
        bag.writeProperty("max", 10);
        bag.writeProperty("Value", 50);  // beyond Max: taken as it stands
        f.bar.readProperties(bag);
        QVERIFY(f.bar.backColor() == 0x00123456u && f.bar.backColorII() == 0x00123456u);
        QCOMPARE(f.bar.fontColor(), 0x80000012u);
        QVERIFY(f.bar.max() == 10 && f.bar.value() == 50);
        QCOMPARE(f.take(), QStringList());
    }

    void contradictorySavedFormStillDraws() {
        Fixture f;
        PropertyBag bag;
        bag.writeProperty("Min", 10);
        bag.writeProperty("Max", 10);
        bag.writeProperty("CaptionFormat", 2);
        f.bar.readProperties(bag);
        QCOMPARE(f.bar.captionText(), QString());
        QVERIFY(!f.bar.barRectangle());
        f.bar.Refresh();

        // Min above Max: no value is acceptable, so the mouse leaves it alone instead of failing.
        bag.writeProperty("Min", 20);
        f.bar.readProperties(bag);
        f.bar.Refresh();
        sendMouse(f.bar, QEvent::MouseButtonPress, {150, 10}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(f.bar.value(), 0);
    }

    void barPicturesShareOneShape() {
        const QImage bright = makeProgressBarPicture(false).toImage();
        const QImage dark = makeProgressBarPicture(true).toImage();
        QCOMPARE(bright.size(), QSize(287, 29));
        QCOMPARE(dark.size(), QSize(287, 29));
        const QColor brightMiddle = bright.pixelColor(143, 20);
        const QColor darkMiddle = dark.pixelColor(143, 20);
        QVERIFY(brightMiddle.blue() > brightMiddle.red() && brightMiddle.blue() > brightMiddle.green());
        QVERIFY(darkMiddle.blue() > darkMiddle.red() && darkMiddle.blue() > darkMiddle.green());
        QVERIFY(brightMiddle.value() > darkMiddle.value() + 60);
        for (const QImage* image : {&bright, &dark}) {
            QVERIFY(image->pixelColor(143, 0).value() < 60);  // outline
            QCOMPARE(image->pixelColor(0, 0).alpha(), 0);     // outside the rounded corner
        }
    }
};

int runProgressBarTests(int argc, char** argv) {
    ProgressBarTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "progress_bar_test.moc"
