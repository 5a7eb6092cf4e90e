#include <QTest>

#include <cmath>
#include <limits>

#include "progress_bar_math.h"

using namespace controls;

namespace {
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
}  // namespace

class ProgressBarMathTest : public QObject {
    Q_OBJECT

private slots:
    void roundsHalvesToEven() {
        QCOMPARE(roundHalfEven(0.5), 0.0);
        QCOMPARE(roundHalfEven(1.5), 2.0);
        QCOMPARE(roundHalfEven(2.5), 2.0);
        QCOMPARE(roundHalfEven(-0.5), 0.0);
        QCOMPARE(roundHalfEven(-1.5), -2.0);
        QCOMPARE(roundHalfEven(2.4999), 2.0);
        QCOMPARE(roundHalfEven(2.5001), 3.0);
    }

    void barRectangles_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<double>("p");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QRect>("expected");  // a null QRect: no bar

        QTest::newRow("left, half") << 0 << 0.5 << 200 << 20 << QRect(0, 0, 100, 20);
        QTest::newRow("left, empty") << 0 << 0.0 << 200 << 20 << QRect(0, 0, 0, 20);
        QTest::newRow("left, full") << 0 << 1.0 << 200 << 20 << QRect(0, 0, 200, 20);
        QTest::newRow("left, 2.5 to even") << 0 << 0.5 << 5 << 10 << QRect(0, 0, 2, 10);
        QTest::newRow("left, 1.5 to even") << 0 << 0.5 << 3 << 10 << QRect(0, 0, 2, 10);
        QTest::newRow("right, quarter") << 1 << 0.25 << 200 << 20 << QRect(150, 0, 50, 20);
        QTest::newRow("centre, half") << 2 << 0.5 << 200 << 20 << QRect(50, 0, 100, 20);
        QTest::newRow("centre, odd width") << 2 << 0.5 << 201 << 20 << QRect(50, 0, 101, 20);
        QTest::newRow("bottom, quarter") << 3 << 0.25 << 40 << 100 << QRect(0, 75, 40, 25);
        QTest::newRow("top, quarter") << 4 << 0.25 << 40 << 100 << QRect(0, 0, 40, 25);
        QTest::newRow("middle, half") << 5 << 0.5 << 40 << 100 << QRect(0, 25, 40, 50);
        QTest::newRow("below the range") << 0 << -0.5 << 200 << 20 << QRect(-100, 0, 100, 20);
        QTest::newRow("orientation 6") << 6 << 0.5 << 200 << 20 << QRect();
        QTest::newRow("orientation -1") << -1 << 0.5 << 200 << 20 << QRect();
        QTest::newRow("beyond 16 bits") << 0 << 1.0 << 40000 << 20 << QRect();
        QTest::newRow("not a number") << 0 << std::nan("") << 200 << 20 << QRect();
    }

    void barRectangles() {
        QFETCH(int, orientation);
        QFETCH(double, p);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QRect, expected);
        const auto bar = barRect(orientation, p, width, height);
        QCOMPARE(bar.has_value(), !expected.isNull());
        if (bar) {
            QCOMPARE(*bar, expected);
        }
    }

    void valuesFromPoints_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("expected");

        // Surface 200 x 100 throughout.
        QTest::newRow("left") << 0 << 50.0 << 0.0 << 0 << 100 << 25;
        QTest::newRow("left, offset range") << 0 << 0.0 << 0.0 << 10 << 20 << 10;
        QTest::newRow("left, 2.5 to even") << 0 << 5.0 << 0.0 << 0 << 100 << 2;
        QTest::newRow("left, 3.5 to even") << 0 << 7.0 << 0.0 << 0 << 100 << 4;
        QTest::newRow("right") << 1 << 50.0 << 0.0 << 0 << 100 << 75;
        QTest::newRow("centre, middle") << 2 << 100.0 << 0.0 << 0 << 100 << 0;
        QTest::newRow("centre, edge") << 2 << 0.0 << 0.0 << 0 << 100 << 100;
        QTest::newRow("centre, three quarters") << 2 << 150.0 << 0.0 << 0 << 100 << 50;
        QTest::newRow("bottom") << 3 << 0.0 << 75.0 << 0 << 100 << 25;
        QTest::newRow("top") << 4 << 0.0 << 75.0 << 0 << 100 << 75;
        QTest::newRow("vertical centre") << 5 << 0.0 << 50.0 << 0 << 100 << 0;
        QTest::newRow("vertical edge") << 5 << 0.0 << 0.0 << 0 << 100 << 100;
        QTest::newRow("past the right") << 0 << 300.0 << 0.0 << 0 << 100 << 100;
        QTest::newRow("past the left") << 0 << -20.0 << 0.0 << 0 << 100 << 0;
        QTest::newRow("unknown, 0 raised to min") << 7 << 50.0 << 0.0 << 10 << 20 << 10;
        QTest::newRow("unknown, 0 inside") << 7 << 50.0 << 0.0 << -5 << 5 << 0;
        QTest::newRow("whole 32-bit line") << 0 << 200.0 << 0.0 << Int32Min << Int32Max << Int32Max;
    }

    void valuesFromPoints() {
        QFETCH(int, orientation);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, expected);
        QCOMPARE(valueFromPoint(orientation, x, y, 200, 100, min, max), expected);
    }

    void emptySurfaceGivesMin() { QCOMPARE(valueFromPoint(0, 0, 0, 0, 20, 10, 20), 10); }

    void captions_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("min");
        QTest::addColumn<qint64>("span");
        QTest::addColumn<QString>("decimalPoint");
        QTest::addColumn<QString>("expected");

        QTest::newRow("1 value") << 1 << 5 << 0 << qint64(10) << "."
                                 << "5";
        QTest::newRow("2") << 2 << 5 << 0 << qint64(10) << "."
                           << "50%";
        QTest::newRow("3") << 3 << 5 << 0 << qint64(10) << "."
                           << "50.0%";
        QTest::newRow("4") << 4 << 5 << 0 << qint64(10) << "."
                           << "50.00%";
        QTest::newRow("3, comma") << 3 << 5 << 0 << qint64(10) << ","
                                  << "50,0%";
        QTest::newRow("2 of value") << 2 << 6 << 2 << qint64(8) << "."
                                    << "75%";
        QTest::newRow("5 of progress") << 5 << 6 << 2 << qint64(8) << "."
                                       << "50%";
        QTest::newRow("6") << 6 << 6 << 2 << qint64(8) << "."
                           << "50.0%";
        QTest::newRow("7") << 7 << 6 << 2 << qint64(8) << "."
                           << "50.00%";
        QTest::newRow("12.5 to even") << 2 << 1 << 0 << qint64(8) << "."
                                      << "12%";
        QTest::newRow("37.5 to even") << 2 << 3 << 0 << qint64(8) << "."
                                      << "38%";
        QTest::newRow("one decimal kept") << 3 << 1 << 0 << qint64(8) << "."
                                          << "12.5%";
        QTest::newRow("two decimals") << 4 << 2 << 0 << qint64(3) << "."
                                      << "66.67%";
        QTest::newRow("negative") << 2 << -1 << -4 << qint64(4) << "."
                                  << "-25%";
        QTest::newRow("whole line") << 5 << Int32Max << Int32Min << qint64(4294967295LL) << "."
                                    << "100%";
        QTest::newRow("span 0, percent") << 2 << 5 << 5 << qint64(0) << "."
                                         << "";
        QTest::newRow("span 0, value") << 1 << 5 << 5 << qint64(0) << "."
                                       << "5";
        QTest::newRow("fixed text") << 99 << 5 << 0 << qint64(10) << "."
                                    << "Travail";
        QTest::newRow("none") << 0 << 5 << 0 << qint64(10) << "."
                              << "";
        QTest::newRow("unknown") << 8 << 5 << 0 << qint64(10) << "."
                                 << "";
    }

    void captions() {
        QFETCH(int, format);
        QFETCH(int, value);
        QFETCH(int, min);
        QFETCH(qint64, span);
        QFETCH(QString, decimalPoint);
        QFETCH(QString, expected);
        QCOMPARE(captionText(format, value, min, span, "Travail", decimalPoint), expected);
    }

    void captionsAreCentredFromRoundedRoom() {
        QCOMPARE(centredStart(200, 50.5), 75);  // 149.5 rounds to 150
        QCOMPARE(centredStart(200, 51.5), 74);  // 148.5 rounds to 148
        QCOMPARE(centredStart(11, 0), 5);       // halved toward zero
        QCOMPARE(centredStart(10, 13), -1);     // wider than the surface: -3 halves to -1
    }
};

int runProgressBarMathTests(int argc, char** argv) {
    ProgressBarMathTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "progress_bar_math_test.moc"
