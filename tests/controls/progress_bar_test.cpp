#include <QMouseEvent>
#include <QTest>

#include <cmath>
#include <cstdint>

#include "bar_picture.h"
#include "progress_bar.h"
#include "progress_bar_math.h"

using namespace controls;

namespace {

constexpr std::uint32_t Blue = 0x00FF0000;  // the control's colours are &H00BBGGRR
constexpr std::uint32_t Red = 0x000000FF;

QPixmap solid(int width, int height, const QColor& color) {
    QPixmap pixmap(width, height);
    pixmap.fill(color);
    return pixmap;
}

QColor pixel(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y);
}

// Sends one press, move or release at (x, 10) with `button` (held, for a move) and returns the value after
// it.
int mouse(cpvProgressBar& bar, QEvent::Type type, double x, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(x, 10), bar.mapToGlobal(QPointF(x, 10)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(&bar, &event);
    return bar.value();
}
constexpr QEvent::Type Press = QEvent::MouseButtonPress, Move = QEvent::MouseMove,
                       Release = QEvent::MouseButtonRelease;

// Every plain property as "Name=value", to see that nothing moved.
QString plainProperties(const cpvProgressBar& bar) {
    QStringList values;
    const QMetaObject* meta = bar.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QVariant value = meta->property(i).read(&bar);
        if (value.canConvert<QString>() && value.typeId() != QMetaType::QFont) {
            values << QString::fromLatin1(meta->property(i).name()) + '=' + value.toString();
        }
    }
    return values.join(' ');
}

// A 200 x 20 bar without border, blue with a red bar, recording its events.
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

struct BarCase {
    int orientation;
    double p;
    QSize surface;
    QRect bar;
};
struct PointCase {
    int orientation;
    QPoint point;
    std::int32_t min, max, value;
};
struct CaptionCase {
    int format;
    std::int32_t value, min;
    qint64 span;
    const char *decimalPoint, *caption;
};
using Assignment = bool (*)(cpvProgressBar&);

}  // namespace

Q_DECLARE_METATYPE(BarCase)
Q_DECLARE_METATYPE(PointCase)
Q_DECLARE_METATYPE(CaptionCase)
Q_DECLARE_METATYPE(Assignment)

class ProgressBarTest : public QObject {
    Q_OBJECT

private slots:
    void barRectangles_data() {
        QTest::addColumn<BarCase>("c");
        const auto row = [](const char* name, BarCase c) { QTest::newRow(name) << c; };
        row("half, left to right", {0, 0.5, {200, 20}, {0, 0, 100, 20}});
        row("2.5 halves to even", {0, 0.5, {5, 10}, {0, 0, 2, 10}});
        row("1.5 halves to even", {0, 0.5, {3, 10}, {0, 0, 2, 10}});
        row("right to left", {1, 0.25, {200, 20}, {150, 0, 50, 20}});
        row("from the middle, odd width", {2, 0.5, {201, 20}, {50, 0, 101, 20}});
        row("bottom to top", {3, 0.25, {40, 100}, {0, 75, 40, 25}});
        row("top to bottom", {4, 0.25, {40, 100}, {0, 0, 40, 25}});
        row("vertical from the middle", {5, 0.5, {40, 100}, {0, 25, 40, 50}});
        row("below Min after a contradictory load", {0, -0.5, {200, 20}, {-100, 0, 100, 20}});
        row("unknown orientation", {6, 0.5, {200, 20}, {}});  // null: no bar at all
        row("wider than a coordinate", {0, 1.0, {40000, 20}, {}});
        row("no proportion", {0, std::nan(""), {200, 20}, {}});
    }
    void barRectangles() {
        QFETCH(BarCase, c);
        QCOMPARE(barRect(c.orientation, c.p, c.surface.width(), c.surface.height()).value_or(QRect()), c.bar);
    }

    void valuesFromPoints_data() {
        QTest::addColumn<PointCase>("c");  // on a 200 x 100 surface
        const auto row = [](const char* name, PointCase c) { QTest::newRow(name) << c; };
        row("left to right", {0, {50, 0}, 0, 100, 25});
        row("at the left edge: Min", {0, {0, 0}, 10, 20, 10});
        row("2.5 halves to even", {0, {5, 0}, 0, 100, 2});
        row("3.5 halves to even", {0, {7, 0}, 0, 100, 4});
        row("right to left", {1, {50, 0}, 0, 100, 75});
        row("from the middle, left edge", {2, {0, 0}, 0, 100, 100});
        row("from the middle, right half", {2, {150, 0}, 0, 100, 50});
        row("bottom to top", {3, {0, 75}, 0, 100, 25});
        row("top to bottom", {4, {0, 75}, 0, 100, 75});
        row("vertical from the middle, top edge", {5, {0, 0}, 0, 100, 100});
        row("past the right edge", {0, {300, 0}, 0, 100, 100});  // the widget keeps its own points inside
        row("past the left edge", {0, {-20, 0}, 0, 100, 0});
        row("unknown orientation: Min when 0 is below", {7, {50, 0}, 10, 20, 10});
        row("unknown orientation: 0 when in range", {7, {50, 0}, -5, 5, 0});
        row("whole 32-bit range", {0, {200, 0}, INT32_MIN, INT32_MAX, INT32_MAX});
    }
    void valuesFromPoints() {
        QFETCH(PointCase, c);
        QCOMPARE(valueFromPoint(c.orientation, c.point.x(), c.point.y(), 200, 100, c.min, c.max), c.value);
        QCOMPARE(valueFromPoint(0, 0, 0, 0, 20, 10, 20), 10);  // an empty surface gives Min
    }

    void captions_data() {
        QTest::addColumn<CaptionCase>("c");
        const auto row = [](const char* name, CaptionCase c) { QTest::newRow(name) << c; };
        row("value", {1, 5, 0, 10, ".", "5"});
        row("percent, one decimal, the locale's decimal point", {3, 5, 0, 10, ",", "50,0%"});
        row("value over the span", {2, 6, 2, 8, ".", "75%"});
        row("value above Min over the span", {5, 6, 2, 8, ".", "50%"});
        row("value above Min over the span, two decimals", {7, 6, 2, 8, ".", "50.00%"});
        row("two decimals rounded", {4, 2, 0, 3, ".", "66.67%"});
        row("12.5 halves to even", {2, 1, 0, 8, ".", "12%"});
        row("37.5 halves to even", {2, 3, 0, 8, ".", "38%"});
        row("one decimal keeps 12.5", {3, 1, 0, 8, ".", "12.5%"});
        row("below zero", {2, -1, -4, 4, ".", "-25%"});
        row("no span: no percent", {2, 5, 5, 0, ".", ""});
        row("no span: the value still shows", {1, 5, 5, 0, ".", "5"});
        row("the caption text", {99, 5, 0, 10, ".", "Travail"});
        row("format 0 shows nothing", {0, 5, 0, 10, ".", ""});
        row("unknown format shows nothing", {8, 5, 0, 10, ".", ""});
    }
    void captions() {
        QFETCH(CaptionCase, c);
        QCOMPARE(captionText(c.format, c.value, c.min, c.span, "Travail", c.decimalPoint),
                 QString(c.caption));
    }
    void captionsCentreFromTheRoundedRoomLeft() {
        QCOMPARE(centredStart(200, 50.5), 75);  // 149.5 rounds to 150
        QCOMPARE(centredStart(200, 51.5), 74);  // 148.5 rounds to 148
        QCOMPARE(centredStart(11, 0), 5);       // halved toward zero
        QCOMPARE(centredStart(10, 13), -1);     // wider than the surface: -3 halves to -1
    }

    // A refused assignment leaves every property as it was and raises no event at all. Which colour values
    // name no colour is the colour translator's rule (color_value_test); one row per colour setter.
    void refusalsLeaveTheControlUnchanged_data() {
        QTest::addColumn<Assignment>("assign");
        const auto row = [](const char* name, Assignment assign) { QTest::newRow(name) << assign; };
        // With Min 10, Value 20, Max 50.
        row("Max equal to Min", [](cpvProgressBar& b) { return b.setMax(10); });
        row("Min equal to Max", [](cpvProgressBar& b) { return b.setMin(50); });
        row("Value below Min", [](cpvProgressBar& b) { return b.setValue(9); });
        row("Value above Max", [](cpvProgressBar& b) { return b.setValue(51); });
        row("palette-index back colour", [](cpvProgressBar& b) { return b.setBackColor(0x01000000); });
        row("no system colour 25", [](cpvProgressBar& b) { return b.setFontColor(0x80000019); });
        row("BorderStyle 2", [](cpvProgressBar& b) { return b.setBorderStyle(2); });
        row("DrawMode 0", [](cpvProgressBar& b) { return b.setDrawMode(0); });
        row("DrawMode 17", [](cpvProgressBar& b) { return b.setDrawMode(17); });
        row("DrawStyle 7", [](cpvProgressBar& b) { return b.setDrawStyle(7); });
        row("MousePointer 16", [](cpvProgressBar& b) { return b.setMousePointer(16); });
    }
    void refusalsLeaveTheControlUnchanged() {
        QFETCH(Assignment, assign);
        Fixture f;
        QVERIFY(f.bar.setMax(50) && f.bar.setMin(10) && f.bar.setValue(20));
        f.take();
        const QString before = plainProperties(f.bar);
        QVERIFY(before.contains("Min=10 Max=50") && before.contains("BackColor=16711680"));
        QStringList changed;
        connect(&f.bar, &cpvProgressBar::propertyChanged, &f.bar,
                [&](const QString& name) { changed << name; });
        QVERIFY(!assign(f.bar));
        QCOMPARE(plainProperties(f.bar), before);
        QCOMPARE(f.take() + changed, QStringList());
    }

    void valueEventsInOrder() {
        Fixture f;
        // clang-format off
        const std::pair<int, QStringList> steps[] = {{0, {}}, {40, {"ValeurChange"}}, {40, {}},
            {100, {"ValeurChange", "MaxValeur"}}, {0, {"ValeurChange", "MinValeur"}}};
        // clang-format on
        for (const auto& [value, events] : steps) {
            f.bar.setValue(value);
            QCOMPARE(f.take(), events);
        }
        f.bar.setMax(200);
        QCOMPARE(f.take(), QStringList());

        // Min moved past the value carries it along; the handler already sees the new range.
        f.bar.setValue(40);
        f.bar.setCaptionFormat(2);
        f.take();
        QString captionSeenByHandler;
        connect(&f.bar, &cpvProgressBar::ValeurChange, &f.bar,
                [&] { captionSeenByHandler = f.bar.captionText(); });
        f.bar.setMin(50);
        QCOMPARE(f.bar.value(), 50);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "MinValeur"}));
        QCOMPARE(captionSeenByHandler, QString("33%"));  // 50 / (200 - 50), not 50 / 200
        f.bar.setMin(50);
        QCOMPARE(f.take(), QStringList());

        // The whole 32-bit range: no overflow in the span, the caption or the bar.
        f.bar.setMin(INT32_MIN);
        f.bar.setMax(INT32_MAX);
        f.bar.setCaptionFormat(5);
        f.take();
        f.bar.setValue(INT32_MAX);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "MaxValeur"}));
        QCOMPARE(f.bar.captionText(), QString("100%"));
        QCOMPARE(f.bar.barRectangle(), std::optional<QRect>(QRect(0, 0, 200, 20)));
    }

    void paintsBarPicturesModesAndSystemColours() {
        Fixture f;
        f.bar.setValue(50);
        QCOMPARE(pixel(f.bar, 99, 10), QColor(Qt::red));
        QCOMPARE(pixel(f.bar, 100, 10), QColor(Qt::blue));
        f.bar.setDrawMode(6);  // invert what is there: blue becomes yellow
        QCOMPARE(pixel(f.bar, 10, 10), QColor(Qt::yellow));
        f.bar.setDrawMode(13);
        f.bar.setFontColor(0x80000012);  // button text, from the palette
        QPalette palette = f.bar.palette();
        palette.setColor(QPalette::ButtonText, Qt::green);
        f.bar.setPalette(palette);
        QCOMPARE(pixel(f.bar, 10, 10), QColor(Qt::green));

        // A bar picture is revealed over the back picture, whose size the control keeps.
        f.bar.setBarPictureBack(solid(120, 16, Qt::yellow));
        f.bar.show();
        f.bar.resize(300, 50);
        QCOMPARE(f.bar.size(), QSize(120, 16));
        f.bar.setBarPicture(solid(100, 16, Qt::green));
        f.bar.setValue(25);  // bar 0..30
        QCOMPARE(pixel(f.bar, 29, 8), QColor(Qt::green));
        QCOMPARE(pixel(f.bar, 30, 8), QColor(Qt::yellow));
        f.bar.setValue(100);  // the bar reaches past the picture's right edge
        QCOMPARE(pixel(f.bar, 99, 8), QColor(Qt::green));
        QCOMPARE(pixel(f.bar, 100, 8), QColor(Qt::yellow));
        f.bar.setBarPicture(QPixmap());
        f.bar.setBarPictureBack(QPixmap());  // clears the background too
        f.bar.setValue(0);
        QCOMPARE(pixel(f.bar, 60, 8), QColor(Qt::blue));
    }

    void mouseSetsDragsAndSteps() {
        Fixture f;
        QList<double> movesX;
        connect(&f.bar, &cpvProgressBar::MouseMove, &f.bar, [&](int, int, double x, double) { movesX << x; });
        QCOMPARE(mouse(f.bar, Press, 50), 25);
        QCOMPARE(mouse(f.bar, Move, 500), 100);  // dragged past the edges
        QCOMPARE(mouse(f.bar, Move, -30), 0);
        mouse(f.bar, Release, -30);
        QCOMPARE(mouse(f.bar, Move, 150, Qt::NoButton), 0);  // released: moves no longer set the value
        QCOMPARE(movesX, QList<double>({50, 500, -30, 150}));
        QCOMPARE(f.take(),
                 QStringList({"ValeurChange", "ValeurChange", "MaxValeur", "ValeurChange", "MinValeur"}));
        mouse(f.bar, Press, 20);
        mouse(f.bar, Release, 20);
        QCOMPARE(f.take(), QStringList({"ValeurChange", "Click"}));

        // A right click steps by one toward the pointer.
        f.bar.setValue(50);
        f.take();
        QCOMPARE(mouse(f.bar, Press, 20, Qt::RightButton), 49);
        QCOMPARE(mouse(f.bar, Release, 20, Qt::RightButton), 49);
        QCOMPARE(mouse(f.bar, Press, 190, Qt::RightButton), 50);
        QCOMPARE(mouse(f.bar, Press, 100, Qt::RightButton), 50);  // on the bar's end: no step
        QCOMPARE(f.take(), QStringList({"ValeurChange", "ValeurChange"}));
    }

    void mouseCoordinatesStartInsideTheBorder() {
        Fixture f;
        f.bar.setBorderStyle(1);  // 3-D: two pixels each side
        QCOMPARE(f.bar.drawingArea(), QRect(2, 2, 196, 16));
        f.bar.setAppearance(cpvProgressBar::Flat);  // one pixel, all round
        f.bar.setAppearance(7);                     // what the surface cannot take is ignored, not refused
        QCOMPARE(f.bar.appearance(), cpvProgressBar::Flat);
        QCOMPARE(f.bar.drawingArea(), QRect(1, 1, 198, 18));
        QCOMPARE(pixel(f.bar, 199, 10).rgb(), f.bar.palette().color(QPalette::Shadow).rgb());
        f.bar.setAppearance(cpvProgressBar::ThreeD);
        double reportedX = -1;
        connect(&f.bar, &cpvProgressBar::MouseDown, &f.bar,
                [&](int, int, double x, double) { reportedX = x; });
        QCOMPARE(mouse(f.bar, Press, 100), 50);
        QCOMPARE(reportedX, 98.0);
        mouse(f.bar, Release, 100);
        QCOMPARE(mouse(f.bar, Press, 1), 50);  // on the border
        mouse(f.bar, Release, 1);
        f.bar.setMouseActive(false);  // presses are still reported but no longer set the value
        QCOMPARE(mouse(f.bar, Press, 150), 50);
        QCOMPARE(reportedX, 148.0);
    }

    // The saved form holds what differs from the defaults it is read back with, and loads without events.
    void savedFormRoundTrip() {
        QWidget holder;
        holder.setFont(QFont("Serif", 17));
        // A new control takes its holder's font; its appearance and back colour differ from the form's
        // defaults.
        cpvProgressBar fresh(&holder);
        PropertyBag bag;
        fresh.writeProperties(bag);
        QCOMPARE(bag.names(), QStringList({"Appearance", "BackColor", "Font"}));
        QCOMPARE(fresh.font(), holder.font());

        Fixture source;
        source.bar.setBarPicture(makeProgressBarPicture(false));
        source.bar.setBarPictureBack(makeProgressBarPicture(true));
        source.bar.setMouseIcon(solid(16, 16, Qt::black));
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
        bag.clear();
        source.bar.writeProperties(bag);
        Fixture loaded;
        loaded.bar.readProperties(bag);
        QCOMPARE(loaded.take(), QStringList());
        QCOMPARE(plainProperties(loaded.bar), plainProperties(source.bar));
        QCOMPARE(loaded.bar.font(), QFont("Serif", 13));
        for (const char* picture : {"BarPicture", "BarPictureBack", "MouseIcon"}) {
            QCOMPARE(loaded.bar.property(picture).value<QPixmap>().toImage(),
                     source.bar.property(picture).value<QPixmap>().toImage());
        }
        QCOMPARE(loaded.bar.size(), QSize(287, 29));  // the size of our back picture
        loaded.bar.setEnabled(true);
        loaded.bar.setValue(250);  // loading took Min as the last reported value
        QCOMPARE(loaded.take(), QStringList({"ValeurChange"}));

        // An empty form reads back the defaults, so writing again writes only the font.
        loaded.bar.readProperties(PropertyBag());
        bag.clear();
        loaded.bar.writeProperties(bag);
        QCOMPARE(bag.names(), QStringList({"Font"}));

        // A form that contradicts itself still draws: no caption, no bar, and a mouse that leaves the value.
        // Names match whatever their case; a colour may be stored signed; BackColorII follows BackColor.
        bag.writeProperty("min", 10);
        bag.writeProperty("MAX", 10);
        bag.writeProperty("CaptionFormat", 2);
        bag.writeProperty("backcolor", -2147483633);  // 0x8000000F
        loaded.bar.readProperties(bag);
        QVERIFY(loaded.bar.backColor() == 0x8000000Fu && loaded.bar.backColorII() == 0x8000000Fu);
        QCOMPARE(loaded.bar.captionText(), QString());
        QVERIFY(!loaded.bar.barRectangle());
        loaded.bar.Refresh();
        bag.writeProperty("Min", 20);
        loaded.bar.readProperties(bag);
        loaded.bar.Refresh();
        QCOMPARE(mouse(loaded.bar, Press, 150), 0);
    }
};

QTEST_MAIN(ProgressBarTest)
#include "progress_bar_test.moc"
