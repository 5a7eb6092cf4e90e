#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "design_fonts.h"
#include "design_widgets.h"
#include "frm_image.h"
#include "main_form.h"
#include "picture_box.h"
#include "viewer_test_support.h"

using shell::MainForm;

namespace {

// Every control of the design; "name:n" for the n elements of a control array.
const char* const DesignControls =
    "PictMenu:3 PictBp:3 LblTitre:3 LblInfoBmp:4 OptAffichage:3 LblOpt:3 PictLangue:2 Line1 Pictversion "
    "Lblurl TextCheminBMP CmdOuvrirBMP CmdSaveBMP CmdCompressRL Frame1 LbLTitreInfoBMP LblTailleFichier "
    "LbLargeurImg LbHauteurImg LblColorDef Frame2 LbLTitreInfoIMAGE LblCheckCompress LblChkAlpha Picture1 "
    "ChkCompress ChkAlpha LblNbPixelAlpha LblNbPixelAlpha0 LblNbCouleurs LblNbCouleurs16 TxtNbAlpha "
    "TxtNbAlpha0 TxtNbCouleur TxtNbCouleur16 Frame3 LbLTitreIMAGE Picture4 Frame7 LbLDossierComp "
    "TextCheminComp CmdCheminComp ListComp ChkRepComp LblNbFichiersComp lblOptCompress "
    "LbLDossierCompSauve TextCheminCompSauve CmdCheminCompSauve ChkCopieComp CmdComp Frame4 "
    "LbLDossierDecomp TextCheminDecomp CmdCheminDecomp ListDecomp ChkRep LblNbFichiers lblOptDecompress "
    "LbLDossierDecompSauve TextCheminDecompSauve CmdCheminDecompSauve ChkCopie CmdDecomp";

const QStringList BothLanguages{"French.lng", "French_flag.gif", "English.lng", "English_flag.gif"};

// Control-array elements carry their index as a property; single controls carry none.
QWidget* control(const QWidget& form, const QString& name, int index = -1) {
    for (QWidget* widget : form.findChildren<QWidget*>(name)) {
        const QVariant element = widget->property("index");
        if (element.isValid() ? element.toInt() == index : index < 0) {
            return widget;
        }
    }
    return nullptr;
}

// Label or button text, or a frame's title.
QString caption(const QWidget& form, const char* name, int index = -1) {
    const QWidget* widget = control(form, QString::fromLatin1(name), index);
    const QVariant text = widget->property("text");
    return text.isValid() ? text.toString() : widget->property("title").toString();
}

QString tip(const QWidget& form, const char* name) {
    return control(form, QString::fromLatin1(name))->toolTip();
}

// The colour of each tab strip: the front one &H404040, the others &H606060.
const QRgb Front = qRgb(0x40, 0x40, 0x40), Back = qRgb(0x60, 0x60, 0x60);
QList<QRgb> tabColours(const MainForm& form) {
    QList<QRgb> colours;
    for (int i = 0; i < MainForm::PageCount; ++i) {
        colours << form.tabButton(i)->grab().toImage().pixel(1, 2);
    }
    return colours;
}

void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButton held = Qt::LeftButton) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : held,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { shell::loadDesignFonts(); }

    void everyControlOfTheDesignExists() {
        QTemporaryDir home;
        MainForm form(home.path());
        for (const QString& entry : QString::fromLatin1(DesignControls).split(' ')) {
            const int count = entry.section(':', 1).toInt();
            for (int i = count > 0 ? 0 : -1; i < count; ++i) {
                QVERIFY2(control(form, entry.section(':', 0, 0), i), qPrintable(entry));
            }
        }
        // Containers as drawn, and the fixed window size that twips / 15 gives.
        QCOMPARE(control(form, "ChkAlpha")->parentWidget(), control(form, "Picture1"));
        QCOMPARE(control(form, "Picture1")->parentWidget(), control(form, "Frame2"));
        QCOMPARE(control(form, "Frame2")->parentWidget(), form.page(0));
        QCOMPARE(control(form, "ChkCopie")->parentWidget(), control(form, "lblOptDecompress"));
        QCOMPARE(control(form, "lblOptDecompress")->parentWidget(), form.page(2));
        QCOMPARE(form.size(), QSize(292, 440));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!form.imagePage().CmdSaveBMP->isEnabled());
        QVERIFY(!form.compressionPage().start->isEnabled() && !form.decompressionPage().start->isEnabled());

        // The check box right after "Image compréssée (Format Vardo)" must not hide its end, whatever font
        // stands in for Tahoma; a caption with room to spare keeps the design's size.
        const auto* label = qobject_cast<QLabel*>(control(form, "LblCheckCompress"));
        const int textEnd = label->x() + QFontMetrics(label->font()).horizontalAdvance(label->text());
        QVERIFY2(textEnd <= control(form, "Picture1")->x(), qPrintable(QString::number(textEnd)));
        QVERIFY(label->width() >= textEnd - label->x());
        QCOMPARE(control(form, "LblChkAlpha")->font().pointSizeF(), 8.25);
    }

    // Folder boxes and file lists show paths in bold Tahoma: a "/" must be about as wide bold as regular,
    // or every path reads "/ tmp/ icons".
    void pathsReadAsWrittenInBoldTahoma() {
        if (!QFontInfo(shell::tahomaFont(8.25, false)).family().startsWith(QStringLiteral("Tahoma"))) {
            QSKIP("no Tahoma or stand-in on this machine");
        }
        const QFontMetricsF regular(shell::tahomaFont(8.25, false));
        const QFontMetricsF bold(shell::tahomaFont(8.25, true));
        QVERIFY2(
            bold.horizontalAdvance(QLatin1Char('/')) <= 1.3 * regular.horizontalAdvance(QLatin1Char('/')),
            qPrintable(QString::number(bold.horizontalAdvance(QLatin1Char('/')))));
    }

    void startsOnTheImagePageInTheStoredLanguageAndTheFlagsSwitchIt() {
        QTemporaryDir home;
        QVERIFY(viewer_test::fillProgramFolder(home, SHELL_TEST_DATA, BothLanguages, "2"));
        MainForm form(home.path());
        QSignalSpy changed(&form, &MainForm::languageChanged);
        QCOMPARE(form.frontPage(), 0);
        QCOMPARE(form.page(0)->x(), 0);
        QVERIFY(form.page(1)->geometry().right() < 0 && form.page(2)->geometry().right() < 0);
        QCOMPARE(tabColours(form), (QList<QRgb>{Front, Back, Back}));
        QVERIFY(form.tabButton(0)->foreColor() == Qt::white && form.tabButton(1)->foreColor() == Qt::black);
        QCOMPARE(form.tabTitle(2), QStringLiteral("Batch decompression"));
        QCOMPARE(form.versionText(), QStringLiteral("Version: 1.0.0"));
        QCOMPARE(form.windowTitle(), MainForm::WindowTitle);

        // Captions and tooltips from English.lng; what it leaves out keeps the French text and loses its
        // tooltip; a text box takes its text and tooltip.
        const QStringList texts{caption(form, "LblTitre", 2),  caption(form, "CmdSaveBMP"),
                                tip(form, "LblChkAlpha"),      caption(form, "LblCheckCompress"),
                                tip(form, "LblCheckCompress"), caption(form, "TextCheminBMP"),
                                tip(form, "TextCheminBMP"),    caption(form, "lblOptCompress")};
        QCOMPARE(texts, (QStringList{"Décompression par Dossier", "Save (BMP)",
                                     "Some pixels are partly\nor fully transparent",
                                     "Image compréssée (Format Vardo)", "", "", "Path of the open image",
                                     "Compression options"}));

        // French first, then English, 120 twips apart; the stored one framed and 40 twips higher.
        QVERIFY(form.languageFiles().at(0).endsWith("/French.lng") &&
                form.languageFiles().at(1).endsWith("/English.lng"));
        QCOMPARE(form.languageFlag(1)->pos(), QPoint(5, 421));  // 70, 6320 twips
        QCOMPARE(form.languageFlag(2)->pos(), QPoint(39, 419));
        QVERIFY(!form.isActiveFlag(1) && form.isActiveFlag(2));
        QVERIFY(!form.languageFlag(1)->picture().isNull());
        QCOMPARE(form.languageFlag(2)->toolTip(), QStringLiteral("English"));

        // French: its entries come in.
        QTest::mouseClick(form.languageFlag(1), Qt::LeftButton, {}, QPoint(10, 8));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(viewer_test::setting(home, "Language"), QStringLiteral("1"));
        QCOMPARE(caption(form, "LblChkAlpha"), QStringLiteral("Canal Alpha Utilisé"));
        QCOMPARE(tip(form, "LblCheckCompress"), QStringLiteral("Déclare une image au format compressée"));
        QCOMPARE(form.tabTitle(0), QStringLiteral("Général"));
        QVERIFY(form.isActiveFlag(1) && !form.isActiveFlag(2));
        QVERIFY(form.languageFlag(1)->y() == 419 && form.languageFlag(2)->y() == 421);
        QCOMPARE(tabColours(form), (QList<QRgb>{Front, Back, Back}));
        QTest::mouseClick(form.languageFlag(2), Qt::RightButton, {}, QPoint(10, 8));  // not a click
        QCOMPARE(viewer_test::setting(home, "Language"), QStringLiteral("1"));

        // Back to English: the tooltips French gave and English does not name are gone.
        QTest::mouseClick(form.languageFlag(2), Qt::LeftButton, {}, QPoint(10, 8));
        QCOMPARE(viewer_test::setting(home, "Language"), QStringLiteral("2"));
        QCOMPARE(form.tabTitle(1), QStringLiteral("Batch compression"));
        QCOMPARE(caption(form, "LblOpt", 2), QStringLiteral("Alpha channel only"));
        QCOMPARE(tip(form, "TxtNbAlpha"), QString());
    }

    // Without any language file (and a stored number past the list) the design's texts stay, under one flag.
    void withoutALanguageFileTheBuiltInTextsStay() {
        QTemporaryDir home;
        QVERIFY(viewer_test::fillProgramFolder(home, SHELL_TEST_DATA, {}, "7"));
        MainForm form(home.path());
        QVERIFY(form.languageCount() == 1 && form.isActiveFlag(1));
        QCOMPARE(form.tabTitle(0), QString());
        QCOMPARE(caption(form, "CmdComp"), QStringLiteral("Lancer la Compression"));
        QVERIFY(tip(form, "LblChkAlpha").isEmpty());
    }

    // The drawn icon, every size of it, on the main window and on the preview window.
    void bothWindowsShowTheProgramIcon() {
        QTemporaryDir home;
        MainForm form(home.path());
        viewer::FrmImage preview;
        for (const QWidget* window : {static_cast<const QWidget*>(&form), static_cast<const QWidget*>(&preview)}) {
            const QIcon icon = window->windowIcon();
            QCOMPARE(icon.availableSizes().size(), 6);
            for (int size : {16, 48, 256}) {
                const QImage drawn(QStringLiteral(TARVIK_TEST_LANGUAGE_DATA "/icons/tarvikbmp-%1.png").arg(size));
                QVERIFY(!drawn.isNull());
                QCOMPARE(icon.pixmap(size).toImage().convertToFormat(drawn.format()), drawn);
            }
        }
    }

    // The buttons of message boxes (and the toolkit's dialogs) follow the flags, by the locale each language
    // file names; a file naming none, or a locale the toolkit has no translation for, gives English.
    void theToolkitTextsFollowTheChosenLanguage() {
        const auto buttons = [] {
            QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Save | QMessageBox::Cancel);
            QStringList texts;
            for (const auto which : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Save, QMessageBox::Cancel}) {
                texts << box.button(which)->text().remove(QLatin1Char('&'));
            }
            return texts;
        };
        const QStringList english{"Yes", "No", "Save", "Cancel"};
        QCOMPARE(buttons(), english);
        QTemporaryDir home;
        QVERIFY(viewer_test::fillProgramFolder(home, TARVIK_TEST_LANGUAGE_DATA,
                                               {"French.lng", "French_flag.gif", "German.lng", "German_flag.gif",
                                                "Spanish.lng", "Spanish_flag.gif"}));
        {
            MainForm form(home.path());
            QCOMPARE(form.toolkitLocale(), QStringLiteral("fr"));
            QCOMPARE(buttons(), (QStringList{"Oui", "Non", "Enregistrer", "Annuler"}));
            QTest::mouseClick(form.languageFlag(2), Qt::LeftButton, {}, QPoint(10, 8));
            QCOMPARE(form.toolkitLocale(), QStringLiteral("de"));
            QCOMPARE(buttons(), (QStringList{"Ja", "Nein", "Speichern", "Abbrechen"}));
        }
        QCOMPARE(buttons(), english);  // a closed window leaves no translation behind
        // The locale comes from the file's own key, whatever the file is called.
        QFile spanish(home.filePath(QStringLiteral("Spanish.lng")));
        QVERIFY(spanish.open(QIODevice::ReadWrite));
        QByteArray text = spanish.readAll();
        QVERIFY(text.startsWith("Locale=es\r\n"));
        for (const QByteArray& locale : {QByteArray("xx"), QByteArray("../../etc/passwd"), QByteArray()}) {
            text.replace(0, text.indexOf('\r'), "Locale=" + locale);
            QVERIFY(spanish.resize(0) && spanish.seek(0) && spanish.write(text) == text.size() && spanish.flush());
            MainForm form(home.path());
            QTest::mouseClick(form.languageFlag(3), Qt::LeftButton, {}, QPoint(10, 8));
            QCOMPARE(form.toolkitLocale(), QString());
            QCOMPARE(buttons(), english);
            QTest::mouseClick(form.languageFlag(1), Qt::LeftButton, {}, QPoint(10, 8));
        }
    }

    // An installed copy: the executables' folder holds no language file, the data lies under share/ and the
    // settings go to the user's configuration folder, created by the first choice.
    void anInstalledCopyReadsItsDataFromShareAndStoresItsChoiceInTheConfigFolder() {
        QTemporaryDir prefix;
        const QString executables = prefix.filePath(QStringLiteral("usr/libexec/tarvikbmp"));
        const QString data = prefix.filePath(QStringLiteral("usr/share/tarvikbmp"));
        QVERIFY(QDir().mkpath(executables) && QDir().mkpath(data));
        for (const QString& name : BothLanguages) {
            QVERIFY(QFile::copy(QDir(SHELL_TEST_DATA).filePath(name), QDir(data).filePath(name)));
        }
        static QByteArray configHome;
        configHome = prefix.filePath(QStringLiteral("home/ann/.config")).toUtf8();
        const settings::ProgramLocations where = settings::locateProgram(
            executables.toStdString(), [](const char* name) -> const char* {
                return std::string_view(name) == "XDG_CONFIG_HOME" ? configHome.constData() : nullptr;
            });
        QVERIFY(where.installed);
        const QStringList before = QDir(executables).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        MainForm form(where);
        QCOMPARE(form.languageCount(), 2);
        QVERIFY(!form.languageFlag(2)->picture().isNull());
        QCOMPARE(form.tabTitle(0), QStringLiteral("Général"));
        QTest::mouseClick(form.languageFlag(2), Qt::LeftButton, {}, QPoint(10, 8));
        QCOMPARE(form.tabTitle(1), QStringLiteral("Batch compression"));
        QCOMPARE(settings::readSetting(where.settingsFolder, settings::LanguageKey, ""), std::string("2"));
        QCOMPARE(QDir(executables).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(QDir(data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), BothLanguages.size());

        // Without its French file the window keeps its built-in texts and adds nothing to the package's folder.
        QVERIFY(QFile::remove(QDir(data).filePath(QStringLiteral("French.lng"))));
        QVERIFY(QFile::remove(QString::fromStdString((where.settingsFolder / "TarvikBMP.ini").string())));
        MainForm broken(where);
        QCOMPARE(caption(broken, "CmdComp"), QStringLiteral("Lancer la Compression"));
        QVERIFY(!QFile::exists(QDir(data).filePath(QStringLiteral("French.lng"))));
        QVERIFY(!QFile::exists(QDir(data).filePath(QStringLiteral("french.lng"))));
    }

    void tabsBringTheirPageToTheFront() {
        QTemporaryDir home;
        MainForm form(home.path());
        QSignalSpy closePreview(&form, &MainForm::closePreviewRequested);
        QSignalSpy selected(&form, &MainForm::tabSelected);
        QTest::mouseClick(form.tabButton(2), Qt::LeftButton, {}, QPoint(10, 40));
        QCOMPARE(form.frontPage(), 2);
        QCOMPARE(form.page(2)->x(), 0);
        QVERIFY(form.page(0)->geometry().right() < 0);
        QCOMPARE(closePreview.count(), 1);
        QCOMPARE(tabColours(form), (QList<QRgb>{Back, Back, Front}));
        QVERIFY(form.tabButton(2)->foreColor() == Qt::white && form.tabButton(0)->foreColor() == Qt::black);

        // Any button's release selects; going back to the image page leaves the preview alone.
        QTest::mouseClick(form.tabButton(0), Qt::RightButton, {}, QPoint(10, 40));
        QVERIFY(form.frontPage() == 0 && form.page(0)->x() == 0);
        QCOMPARE(closePreview.count(), 1);
        form.SelectTab(3);
        QCOMPARE(form.frontPage(), 0);
        QCOMPARE(selected.count(), 2);
    }

    void theBackgroundDragsTheWindowAndControlsDoNot() {
        QTemporaryDir home;
        MainForm form(home.path());
        form.move(100, 100);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint start = form.pos();
        shell::PictureBox* page = form.page(0);

        // A press on a label reaches the page behind it, yet does not start a drag.
        QTest::mousePress(form.imagePage().LblTitre, Qt::LeftButton, {}, QPoint(5, 5));
        sendMouse(page, QEvent::MouseMove, QPoint(60, 60));
        QTest::mouseRelease(form.imagePage().LblTitre, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(form.pos(), start);

        // A page's background and the window's own drag; the right button does not.
        const QPoint blank(3, 100), below(250, 430);  // left of the frames; under the pages
        QVERIFY(page->childAt(blank) == nullptr && form.childAt(below) == nullptr);
        for (const auto& [widget, from, by] :
             {std::tuple<QWidget*, QPoint, QPoint>{page, blank, {30, 20}}, {&form, below, {-10, -10}}}) {
            sendMouse(widget, QEvent::MouseButtonPress, from);
            sendMouse(widget, QEvent::MouseMove, from + by);
            sendMouse(widget, QEvent::MouseButtonRelease, from + by);
        }
        QCOMPARE(form.pos(), start + QPoint(20, 10));
        sendMouse(&form, QEvent::MouseButtonPress, below, Qt::RightButton);
        sendMouse(&form, QEvent::MouseMove, QPoint(200, 400), Qt::RightButton);
        QCOMPARE(form.pos(), start + QPoint(20, 10));
    }

    void theLinkOpensTheProjectAddressAndClosingClosesThePreview() {
        QTemporaryDir home;
        QVERIFY(viewer_test::fillProgramFolder(home, SHELL_TEST_DATA, BothLanguages));
        MainForm form(home.path());
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QTest::mouseClick(form.linkLabel(), Qt::LeftButton, {}, QPoint(5, 5));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(MainForm::WebAddress)});
        QVERIFY(MainForm::WebAddress.contains(form.linkLabel()->text()));

        form.show();
        QSignalSpy closePreview(&form, &MainForm::closePreviewRequested);
        form.close();
        QCOMPARE(closePreview.count(), 1);
        QCOMPARE(form.findChildren<shell::PictureBox*>(QStringLiteral("PictLangue")).size(), 1);
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("TarvikBMP.ini"))));
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
