#include <QTest>

#include "property_bag.h"

using controls::PropertyBag;

class PropertyBagTest : public QObject {
    Q_OBJECT

private slots:
    void namesMatchWithoutCase() {
        PropertyBag bag;
        bag.writeProperty("BackColor", 5u);
        QCOMPARE(bag.readProperty("backcolor").toUInt(), 5u);
        QCOMPARE(bag.readProperty("BACKCOLOR").toUInt(), 5u);
        QVERIFY(bag.contains("bAcKcOlOr"));
        QCOMPARE(bag.readProperty("Back", 7).toInt(), 7);
        QVERIFY(!bag.readProperty("Missing").isValid());
    }

    void rewritingKeepsFirstPlace() {
        PropertyBag bag;
        bag.writeProperty("MouseIcon", 1);
        bag.writeProperty("Orientation", 2);
        bag.writeProperty("mouseicon", 3);
        QCOMPARE(bag.names(), QStringList({"MouseIcon", "Orientation"}));
        QCOMPARE(bag.readProperty("MouseIcon").toInt(), 3);
        QVERIFY(bag.removeProperty("MOUSEICON"));
        QVERIFY(!bag.removeProperty("MouseIcon"));
        QCOMPARE(bag.names(), QStringList({"Orientation"}));
    }
};

int runPropertyBagTests(int argc, char** argv) {
    PropertyBagTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "property_bag_test.moc"
