#include <QApplication>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QTest>

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
        QCOMPARE(bar.value(), 0);
        QCOMPARE(bar.min(), 0);
        QCOMPARE(bar.max(), 100);
        QCOMPARE(bar.captionFormat(), 0);
        QCOMPARE(bar.orientation(), 0);
        QVERIFY(bar.barPicture().isNull() && bar.barPictureBack().isNull());
        QCOMPARE(bar.backColorII(), 0u);
        QVERIFY(bar.mouseActive());
        QCOMPARE(bar.appearance(), cpvProgressBar::ThreeD);
        QCOMPARE(bar.backColor(), 0x8000000Fu);
        QCOMPARE(bar.fontColor(), 0x80000012u);
        QCOMPARE(bar.drawMode(), 13);
        QCOMPARE(bar.font(), holder.font());
        QCOMPARE(bar.metaObject()->userProperty().name(), "Value");
        QCOMPARE(bar.property("Max").toInt(), 100);
    }

    void refusalsLeaveTheControlUnchanged() {
        Fixture f;
        f.bar.setMax(50);
        f.bar.setMin(10);
        f.bar.setValue(20);
        f.take();

        QVERIFY(refused([&] { f.bar.setMax(10); }));
        QVERIFY(refused([&] { f.bar.setMax(5); }));
        QVERIFY(refused([&] { f.bar.setMin(50); }));
        QVERIFY(refused([&] { f.bar.setMin(60); }));
        QVERIFY(refused([&] { f.bar.setValue(9); }));
        QVERIFY(refused([&] { f.bar.setValue(51); }));
        QVERIFY(refused([&] { f.bar.setBackColor(0x01000000); }));
        QVERIFY(refused([&] { f.bar.setFontColor(0x80000019); }));  // no system colour 25
        QVERIFY(refused([&] { f.bar.setFontColor(0x80000100); }));
        QVERIFY(refused([&] { f.bar.setBorderStyle(2); }));
        QVERIFY(refused([&] { f.bar.setDrawMode(0); }));
        QVERIFY(refused([&] { f.bar.setDrawMode(17); }));
        QVERIFY(refused([&] { f.bar.setDrawStyle(7); }));
        QVERIFY(refused([&] { f.bar.setMousePointer(16); }));

        QCOMPARE(f.bar.min(), 10);
        QCOMPARE(f.bar.max(), 50);
        QCOMPARE(f.bar.value(), 20);
        QCOMPARE(f.bar.backColor(), Blue);
        QCOMPARE(f.bar.fontColor(), Red);
        QCOMPARE(f.bar.borderStyle(), 0);
        QCOMPARE(f.bar.drawMode(), 13);
        QCOMPARE(f.bar.drawStyle(), 0);
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
    }

    void captionsUseTheSystemSeparator() {
        Fixture f;
        f.bar.setMax(10);
        f.bar.setMin(2);
        f.bar.setValue(6);
        f.bar.setCaptionFormat(2);
        QCOMPARE(f.bar.captionText(), QString("75%"));
        f.bar.setCaptionFormat(5);
        QCOMPARE(f.bar.captionText(), QString("50%"));
        f.bar.setCaptionFormat(6);
        QCOMPARE(f.bar.captionText(), "50" + QLocale::system().decimalPoint() + "0%");
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
        QCOMPARE(bag.readProperty("Appearance").toInt(), 1);
        QCOMPARE(bag.readProperty("BackColor").toUInt(), 0x8000000Fu);
    }

    void savedFormRoundTrip() {
        Fixture source;
        const QPixmap back = makeProgressBarPicture(true);
        source.bar.setBarPicture(makeProgressBarPicture(false));
        source.bar.setBarPictureBack(back);
        source.bar.setAppearance(0);
        source.bar.setBackColorII(0x00654321);
        source.bar.setBorderStyle(1);
        source.bar.setCaption("Travail");
        source.bar.setCaptionFormat(99);
        source.bar.setDrawMode(7);
        source.bar.setDrawStyle(2);
        source.bar.setEnabled(false);
        source.bar.setFont(QFont("Serif", 13));
        source.bar.setMax(500);
        source.bar.setMin(10);
        source.bar.setOrientation(3);
        source.bar.setValue(250);
        source.bar.setMouseActive(false);
        source.bar.setMouseIcon(solid(16, 16, Qt::black));
        source.bar.setMousePointer(99);
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
        for (const char* name : {"Value", "Min", "Max", "Caption", "CaptionFormat", "Orientation",
                                 "BackColorII", "MouseActive", "Appearance", "BackColor", "BorderStyle",
                                 "DrawMode", "DrawStyle", "Enabled", "Font", "FontColor", "MousePointer"}) {
            QCOMPARE(loaded.bar.property(name), source.bar.property(name));
        }
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
        f.bar.readProperties(PropertyBag());
        QCOMPARE(f.bar.appearance(), 0);
        QCOMPARE(f.bar.backColor(), 0u);
        QCOMPARE(f.bar.backColorII(), 0u);
        QCOMPARE(f.bar.fontColor(), 0x80000012u);
        QCOMPARE(f.bar.drawMode(), 13);
        QCOMPARE(f.bar.max(), 100);
        QVERIFY(f.bar.mouseActive() && f.bar.isEnabled());
        QCOMPARE(f.bar.font(), before);

        PropertyBag bag;
        bag.writeProperty("backcolor", 0x00123456u);
        bag.writeProperty("FONTCOLOR", -2147483630);  // 0x80000012 stored as a signed number
        bag.writeProperty("max", 10);
        bag.writeProperty("Value", 50);  // beyond Max: taken as it stands
        f.bar.readProperties(bag);
        QCOMPARE(f.bar.backColor(), 0x00123456u);
        QCOMPARE(f.bar.backColorII(), 0x00123456u);
        QCOMPARE(f.bar.fontColor(), 0x80000012u);
        QCOMPARE(f.bar.max(), 10);
        QCOMPARE(f.bar.value(), 50);
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

    void backColorIIReadsWhatWasStored() {
        cpvProgressBar bar;
        bar.setBackColorII(0x80000005);
        QCOMPARE(bar.backColorII(), 0x80000005u);
        QCOMPARE(bar.property("BackColorII").toUInt(), 0x80000005u);
        QCOMPARE(bar.backColorII(), 0x80000005u);
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
