#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "design_widgets.h"
#include "widget_translation.h"

// Every window of the program is translated by the same walk over its named widgets.
class WidgetTranslationTest : public QObject {
    Q_OBJECT

    template <class T>
    static T* add(QWidget* parent, const char* name, T* widget = nullptr) {
        widget = widget ? widget : new T(parent);
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    }

private slots:
    void eachKindTakesItsTextsAndOtherWindowsAreLeftAlone() {
        QTemporaryDir home;
        QFile file(home.filePath(QStringLiteral("test.lng")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "FrmTest=Title\r\nFrmTest_Path=typed|Path tip\r\nFrmTest_Caption_3=Line one\\nline two\r\n"
            "FrmTest_Go=Start|Go tip\r\nFrmTest_Frame=Folders\r\nFrmTest_Child=Not mine\r\n"
            "FrmTest_qt_internal=Internal\r\n");
        file.close();

        QWidget window;
        window.setObjectName(QStringLiteral("FrmTest"));
        auto* path = add<QLineEdit>(&window, "Path");
        auto* caption = add<QLabel>(&window, "Caption");
        caption->setProperty("index", 3);
        auto* go = add<QPushButton>(&window, "Go");
        auto* frame = add<shell::EtchedFrame>(&window, "Frame");
        auto* internal = add<QLabel>(&window, "qt_internal");
        internal->setText(QStringLiteral("kept"));
        auto* child =
            add<QLabel>(nullptr, "Child", new QLabel(QStringLiteral("own window"), new QDialog(&window)));

        settings::Language language;
        language.setLanguageFilePath(std::filesystem::path(file.fileName().toStdString()));
        QVERIFY(shell::TranslateForm(&window, language));
        QCOMPARE(window.windowTitle(), QStringLiteral("Title"));
        QCOMPARE(path->text() + '|' + path->toolTip(), QStringLiteral("typed|Path tip"));
        QCOMPARE(caption->text(), QStringLiteral("Line one\nline two"));
        QCOMPARE(go->text() + '|' + go->toolTip(), QStringLiteral("Start|Go tip"));
        QCOMPARE(frame->title(), QStringLiteral("Folders"));
        QCOMPARE(internal->text(), QStringLiteral("kept"));
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
