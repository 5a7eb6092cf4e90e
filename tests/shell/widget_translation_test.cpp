#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include "test_home.h"
#include "widget_translation.h"

// Windows other than the main one use the same key rules; their item controls count items from 1.
class WidgetTranslationTest : public QObject {
    Q_OBJECT
private slots:
    void itemsAndTextBoxesTakeTheirOwnKeys() {
        QTemporaryDir home;
        QFile file(home.filePath(QStringLiteral("test.lng")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "FrmTest=Title\r\nFrmTest_Tabs_1=First|Tab tip\r\nFrmTest_Tools_2=Second tool|Tool tip\r\n"
            "FrmTest_Tree_1=Column A\r\nFrmTest_Status_2=Panel B\r\nFrmTest_ActQuit=Quit\r\n"
            "FrmTest_Path=typed|Path tip\r\nFrmTest_Caption_3=Line one\\nline two\r\nFrmTest_Child=Not "
            "mine\r\n"
            "FrmTest_qt_tabwidget_tabbar_1=Internal\r\n");
        file.close();

        QWidget window;
        window.setObjectName(QStringLiteral("FrmTest"));
        auto* tabs = new QTabWidget(&window);
        tabs->setObjectName(QStringLiteral("Tabs"));
        tabs->addTab(new QWidget, QStringLiteral("tab one"));
        tabs->addTab(new QWidget, QStringLiteral("tab two"));
        tabs->setTabToolTip(1, QStringLiteral("old tip"));
        auto* tools = new QToolBar(&window);
        tools->setObjectName(QStringLiteral("Tools"));
        tools->addAction(QStringLiteral("one"));
        tools->addSeparator();
        tools->addAction(QStringLiteral("two"));
        auto* tree = new QTreeWidget(&window);
        tree->setObjectName(QStringLiteral("Tree"));
        tree->setHeaderLabels({QStringLiteral("a"), QStringLiteral("b")});
        auto* status = new QStatusBar(&window);
        status->setObjectName(QStringLiteral("Status"));
        status->addWidget(new QLabel(QStringLiteral("p1")));
        status->addWidget(new QLabel(QStringLiteral("p2")));
        auto* menu = new QMenu(&window);
        QAction* quit = menu->addAction(QStringLiteral("quit"));
        quit->setObjectName(QStringLiteral("ActQuit"));
        auto* path = new QLineEdit(&window);
        path->setObjectName(QStringLiteral("Path"));
        auto* caption = new QLabel(&window);
        caption->setObjectName(QStringLiteral("Caption"));
        caption->setProperty("index", 3);
        auto* dialog = new QDialog(&window);
        auto* child = new QLabel(QStringLiteral("own window"), dialog);
        child->setObjectName(QStringLiteral("Child"));

        settings::Language language;
        language.setLanguageFilePath(std::filesystem::path(file.fileName().toStdString()));
        QVERIFY(shell::TranslateForm(&window, language));

        QCOMPARE(window.windowTitle(), QStringLiteral("Title"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("First"));
        QCOMPARE(tabs->tabToolTip(0), QStringLiteral("Tab tip"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("tab two"));
        QCOMPARE(tabs->tabToolTip(1), QString());
        QCOMPARE(tools->actions().at(2)->text(), QStringLiteral("Second tool"));
        QCOMPARE(tools->actions().at(2)->toolTip(), QStringLiteral("Tool tip"));
        QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Column A"));
        QCOMPARE(status->findChildren<QLabel*>().at(1)->text(), QStringLiteral("Panel B"));
        QCOMPARE(quit->text(), QStringLiteral("Quit"));
        QCOMPARE(path->text(), QStringLiteral("typed"));
        QCOMPARE(path->toolTip(), QStringLiteral("Path tip"));
        QCOMPARE(caption->text(), QStringLiteral("Line one\nline two"));
        QCOMPARE(child->text(), QStringLiteral("own window"));
    }

    void anUnreadableFileChangesNothing() {
        QLabel window(QStringLiteral("kept"));
        window.setObjectName(QStringLiteral("FrmTest"));
        window.setToolTip(QStringLiteral("tip"));
        settings::Language language;
        language.setLanguageFilePath("/nonexistent-folder/none.lng");
        QVERIFY(!shell::TranslateForm(&window, language));
        QCOMPARE(window.toolTip(), QStringLiteral("tip"));
    }
};

QTEST_MAIN(WidgetTranslationTest)
#include "widget_translation_test.moc"
