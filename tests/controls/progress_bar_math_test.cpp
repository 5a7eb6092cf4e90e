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
        const double cases[][2] = {{0.5, 0},   {1.5, 2},    {2.5, 2},   {-0.5, 0},
                                   {-1.5, -2}, {2.4999, 2}, {2.5001, 3}};
        for (const auto& c : cases) {
            QCOMPARE(roundHalfEven(c[0]), c[1]);
        }
    }

    void barRectangles() {
        struct Case {
            int orientation;
            double p;
            int width, height;
            QRect expected;  // null: no bar
        };
        // clang-format off
        const Case cases[] = {
            {0, 0.5, 200, 20, QRect(0, 0, 100, 20)}, {0, 0.0, 200, 20, QRect(0, 0, 0, 20)},
            {0, 0.5, 5, 10, QRect(0, 0, 2, 10)}, {0, 0.5, 3, 10, QRect(0, 0, 2, 10)},  // halves to even
            {1, 0.25, 200, 20, QRect(150, 0, 50, 20)}, {2, 0.5, 200, 20, QRect(50, 0, 100, 20)},
            {2, 0.5, 201, 20, QRect(50, 0, 101, 20)}, {3, 0.25, 40, 100, QRect(0, 75, 40, 25)},
            {4, 0.25, 40, 100, QRect(0, 0, 40, 25)}, {5, 0.5, 40, 100, QRect(0, 25, 40, 50)},
            {0, -0.5, 200, 20, QRect(-100, 0, 100, 20)},  // value below Min after a contradictory load
            {6, 0.5, 200, 20, QRect()}, {-1, 0.5, 200, 20, QRect()}, {0, 1.0, 40000, 20, QRect()},
            {0, std::nan(""), 200, 20, QRect()},
        };
        // clang-format on
        for (const Case& c : cases) {
            QCOMPARE(barRect(c.orientation, c.p, c.width, c.height).value_or(QRect()), c.expected);
        }
    }

    void valuesFromPoints() {
        struct Case {
            int orientation;
            double x, y;
            std::int32_t min, max, expected;
        };
        // Surface 200 x 100 throughout.
        // clang-format off
        const Case cases[] = {
            {0, 50, 0, 0, 100, 25}, {0, 0, 0, 10, 20, 10}, {0, 5, 0, 0, 100, 2}, {0, 7, 0, 0, 100, 4},
            {1, 50, 0, 0, 100, 75}, {2, 100, 0, 0, 100, 0}, {2, 0, 0, 0, 100, 100}, {2, 150, 0, 0, 100, 50},
            {3, 0, 75, 0, 100, 25}, {4, 0, 75, 0, 100, 75}, {5, 0, 50, 0, 100, 0}, {5, 0, 0, 0, 100, 100},
            {0, 300, 0, 0, 100, 100}, {0, -20, 0, 0, 100, 0},     // past the edges
            {7, 50, 0, 10, 20, 10}, {7, 50, 0, -5, 5, 0},         // unknown orientation: 0, kept in range
            {0, 200, 0, Int32Min, Int32Max, Int32Max}};
        // clang-format on
        for (const Case& c : cases) {
            QCOMPARE(valueFromPoint(c.orientation, c.x, c.y, 200, 100, c.min, c.max), c.expected);
        }
        QCOMPARE(valueFromPoint(0, 0, 0, 0, 20, 10, 20), 10);  // empty surface
    }

    void captions() {
        struct Case {
            int format;
            std::int32_t value, min;
            qint64 span;
            const char* decimalPoint;
            const char* expected;
        };
        // clang-format off
        const Case cases[] = {
            {1, 5, 0, 10, ".", "5"}, {2, 5, 0, 10, ".", "50%"}, {3, 5, 0, 10, ".", "50.0%"},
            {4, 5, 0, 10, ".", "50.00%"}, {3, 5, 0, 10, ",", "50,0%"}, {2, 6, 2, 8, ".", "75%"},
            {5, 6, 2, 8, ".", "50%"}, {7, 6, 2, 8, ".", "50.00%"}, {4, 2, 0, 3, ".", "66.67%"},
            {2, 1, 0, 8, ".", "12%"}, {2, 3, 0, 8, ".", "38%"}, {3, 1, 0, 8, ".", "12.5%"},  // halves to even
            {2, -1, -4, 4, ".", "-25%"}, {5, Int32Max, Int32Min, 4294967295LL, ".", "100%"},
            {2, 5, 5, 0, ".", ""}, {1, 5, 5, 0, ".", "5"},  // span 0 after a contradictory load
            {99, 5, 0, 10, ".", "Travail"}, {0, 5, 0, 10, ".", ""}, {8, 5, 0, 10, ".", ""}};
        // clang-format on
        for (const Case& c : cases) {
            QCOMPARE(captionText(c.format, c.value, c.min, c.span, "Travail", c.decimalPoint),
                     QString(c.expected));
        }
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
