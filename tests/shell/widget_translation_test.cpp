#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include "widget_translation.h"

// Windows other than the main one use the same key rules; their item controls count items from 1.
class WidgetTranslationTest : public QObject {
    Q_OBJECT

    template <class T>
    static T* add(QWidget* parent, const char* name, T* widget = nullptr) {
        widget = widget ? widget : new T(parent);
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    }

private slots:
    void itemsAndTextBoxesTakeTheirOwnKeys() {
        QTemporaryDir home;
        QFile file(home.filePath(QStringLiteral("test.lng")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "FrmTest=Title\r\nFrmTest_Tabs_1=First|Tab tip\r\nFrmTest_Tools_2=Second tool|Tool tip\r\n"
            "FrmTest_Tree_1=Column A\r\nFrmTest_Status_2=Panel B\r\nFrmTest_ActQuit=Quit\r\n"
            "FrmTest_Path=typed|Path tip\r\nFrmTest_Caption_3=Line one\\nline two\r\n"
            "FrmTest_Child=Not mine\r\nFrmTest_qt_tabwidget_tabbar_1=Internal\r\n");
        file.close();

        QWidget window;
        window.setObjectName(QStringLiteral("FrmTest"));
        auto* tabs = add<QTabWidget>(&window, "Tabs");
        tabs->addTab(new QWidget, QStringLiteral("tab one"));
        tabs->addTab(new QWidget, QStringLiteral("tab two"));
        tabs->setTabToolTip(1, QStringLiteral("old tip"));
        auto* tools = add<QToolBar>(&window, "Tools");
        tools->addAction(QStringLiteral("one"));
        tools->addSeparator();
        tools->addAction(QStringLiteral("two"));
        auto* tree = add<QTreeWidget>(&window, "Tree");
        tree->setHeaderLabels({QStringLiteral("a"), QStringLiteral("b")});
        auto* status = add<QStatusBar>(&window, "Status");
        status->addWidget(new QLabel(QStringLiteral("p1")));
        status->addWidget(new QLabel(QStringLiteral("p2")));
        QAction* quit = (new QMenu(&window))->addAction(QStringLiteral("quit"));
        quit->setObjectName(QStringLiteral("ActQuit"));
        auto* path = add<QLineEdit>(&window, "Path");
        add<QLabel>(&window, "Caption")->setProperty("index", 3);
        auto* child =
            add<QLabel>(nullptr, "Child", new QLabel(QStringLiteral("own window"), new QDialog(&window)));

        settings::Language language;
        language.setLanguageFilePath(std::filesystem::path(file.fileName().toStdString()));
        QVERIFY(shell::TranslateForm(&window, language));
        QCOMPARE(window.windowTitle(), QStringLiteral("Title"));
        QCOMPARE(tabs->tabText(0) + '|' + tabs->tabToolTip(0), QStringLiteral("First|Tab tip"));
        QCOMPARE(tabs->tabText(1) + '|' + tabs->tabToolTip(1), QStringLiteral("tab two|"));
        QCOMPARE(tools->actions().at(2)->text() + '|' + tools->actions().at(2)->toolTip(),
                 QStringLiteral("Second tool|Tool tip"));
        QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Column A"));
        QCOMPARE(status->findChildren<QLabel*>().at(1)->text(), QStringLiteral("Panel B"));
        QCOMPARE(quit->text(), QStringLiteral("Quit"));
        QCOMPARE(path->text() + '|' + path->toolTip(), QStringLiteral("typed|Path tip"));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Caption"))->text(),
                 QStringLiteral("Line one\nline two"));
        QCOMPARE(child->text(), QStringLiteral("own window"));

        // An unreadable file changes nothing.
        settings::Language missing;
        missing.setLanguageFilePath("/nonexistent-folder/none.lng");
        QVERIFY(!shell::TranslateForm(&window, missing));
        QCOMPARE(path->toolTip(), QStringLiteral("Path tip"));
    }
};

QTEST_MAIN(WidgetTranslationTest)
#include "widget_translation_test.moc"
