#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "design_fonts.h"
#include "design_widgets.h"
#include "main_form.h"
#include "picture_box.h"
#include "test_home.h"

using shell::MainForm;
using shell::PictureBox;

namespace {

template <class T = QWidget>
T* control(const QWidget& form, const char* name, int index = -1) {
    for (T* widget : form.findChildren<T*>(QString::fromLatin1(name))) {
        const QVariant value = widget->property("index");
        if ((index < 0 && !value.isValid()) || (index >= 0 && value.isValid() && value.toInt() == index)) {
            return widget;
        }
    }
    return nullptr;
}

QString caption(const QWidget& form, const char* name, int index = -1) {
    if (auto* label = control<QLabel>(form, name, index)) {
        return label->text();
    }
    if (auto* button = control<QAbstractButton>(form, name, index)) {
        return button->text();
    }
    return QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}

QRgb pixelOf(QWidget* widget, int x, int y) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(x, y);
}

QByteArray storedLanguage(const QTemporaryDir& home) {
    QFile ini(home.filePath(QStringLiteral("TarvikBMP.ini")));
    if (!ini.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (const QByteArray& line : ini.readAll().split('\n')) {
        if (line.startsWith("Language=")) {
            return line.mid(9).trimmed();
        }
    }
    return {};
}

void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, held, Qt::NoModifier);
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
        const QList<QPair<const char*, int>> single{{"PictMenu", 3},   {"PictBp", 3},       {"LblTitre", 3},
                                                    {"LblInfoBmp", 4}, {"OptAffichage", 3}, {"LblOpt", 3},
                                                    {"PictLangue", 2}};
        for (const auto& [name, count] : single) {
            for (int i = 0; i < count; ++i) {
                QVERIFY2(control(form, name, i) != nullptr, name);
            }
        }
        for (const char* name : {"Line1",
                                 "Pictversion",
                                 "Lblurl",
                                 "TextCheminBMP",
                                 "CmdOuvrirBMP",
                                 "CmdSaveBMP",
                                 "CmdCompressRL",
                                 "Frame1",
                                 "LbLTitreInfoBMP",
                                 "LblTailleFichier",
                                 "LbLargeurImg",
                                 "LbHauteurImg",
                                 "LblColorDef",
                                 "Frame2",
                                 "LbLTitreInfoIMAGE",
                                 "LblCheckCompress",
                                 "LblChkAlpha",
                                 "Picture1",
                                 "ChkCompress",
                                 "ChkAlpha",
                                 "LblNbPixelAlpha",
                                 "LblNbPixelAlpha0",
                                 "LblNbCouleurs",
                                 "LblNbCouleurs16",
                                 "TxtNbAlpha",
                                 "TxtNbAlpha0",
                                 "TxtNbCouleur",
                                 "TxtNbCouleur16",
                                 "Frame3",
                                 "LbLTitreIMAGE",
                                 "Picture4",
                                 "Frame7",
                                 "LbLDossierComp",
                                 "TextCheminComp",
                                 "CmdCheminComp",
                                 "ListComp",
                                 "ChkRepComp",
                                 "LblNbFichiersComp",
                                 "lblOptCompress",
                                 "LbLDossierCompSauve",
                                 "TextCheminCompSauve",
                                 "CmdCheminCompSauve",
                                 "ChkCopieComp",
                                 "CmdComp",
                                 "Frame4",
                                 "LbLDossierDecomp",
                                 "TextCheminDecomp",
                                 "CmdCheminDecomp",
                                 "ListDecomp",
                                 "ChkRep",
                                 "LblNbFichiers",
                                 "lblOptDecompress",
                                 "LbLDossierDecompSauve",
                                 "TextCheminDecompSauve",
                                 "CmdCheminDecompSauve",
                                 "ChkCopie",
                                 "CmdDecomp"}) {
            QVERIFY2(control(form, name) != nullptr, name);
        }
        // Containers as drawn: the check boxes inside Picture1 inside Frame2 on the image page, and each
        // batch page holding its own controls.
        QCOMPARE(control(form, "ChkAlpha")->parentWidget(), control(form, "Picture1"));
        QCOMPARE(control(form, "Picture1")->parentWidget(), control(form, "Frame2"));
        QCOMPARE(control(form, "Frame2")->parentWidget(), form.page(0));
        QCOMPARE(control(form, "ChkCopie")->parentWidget(), control(form, "lblOptDecompress"));
        QCOMPARE(control(form, "lblOptDecompress")->parentWidget(), form.page(2));
        QCOMPARE(form.compressionPage().start, control<QPushButton>(form, "CmdComp"));
        QCOMPARE(form.decompressionPage().fileList, control<QListWidget>(form, "ListDecomp"));
        QCOMPARE(form.imagePage().OptAffichage[2], control<QRadioButton>(form, "OptAffichage", 2));
        QCOMPARE(form.size(), QSize(292, 440));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(control(form, "PictBp", 2)->geometry(), QRect(269, 208, 22, 121));
        QCOMPARE(control(form, "CmdComp")->mapTo(form.page(1), QPoint(0, 0)), QPoint(56, 376));
        // Commands wait for an image or a folder.
        QVERIFY(!form.imagePage().CmdSaveBMP->isEnabled());
        QVERIFY(!form.compressionPage().start->isEnabled());
        QVERIFY(!form.decompressionPage().start->isEnabled());
    }

    void startsOnTheImagePageInTheStoredLanguage() {
        QTemporaryDir home;
        QVERIFY(fillTestHome(home, bothLanguages(), "2"));
        MainForm form(home.path());

        QCOMPARE(form.frontPage(), 0);
        QCOMPARE(form.page(0)->x(), 0);
        QVERIFY(form.page(1)->x() + form.page(1)->width() <= 0);
        QVERIFY(form.page(2)->x() + form.page(2)->width() <= 0);
        QCOMPARE(pixelOf(form.tabButton(0), 1, 2), qRgb(0x40, 0x40, 0x40));
        QCOMPARE(pixelOf(form.tabButton(1), 1, 2), qRgb(0x60, 0x60, 0x60));
        QCOMPARE(pixelOf(form.tabButton(2), 1, 2), qRgb(0x60, 0x60, 0x60));
        QCOMPARE(form.tabButton(0)->foreColor(), QColor(Qt::white));
        QCOMPARE(form.tabButton(1)->foreColor(), QColor(Qt::black));
        QCOMPARE(form.tabTitle(0), QStringLiteral("General"));
        QCOMPARE(form.tabTitle(2), QStringLiteral("Batch decompression"));
        QCOMPARE(form.versionText(), QStringLiteral("Version: 1.0.0"));

        // Captions and tooltips from English.lng; what it leaves out keeps the French text and loses its
        // tooltip.
        QCOMPARE(caption(form, "LblTitre", 0), QStringLiteral("BMP file path"));
        QCOMPARE(caption(form, "LblTitre", 1), QStringLiteral("Folder compression"));
        QCOMPARE(caption(form, "LblTitre", 2), QStringLiteral("Décompression par Dossier"));
        QCOMPARE(caption(form, "CmdSaveBMP"), QStringLiteral("Save (BMP)"));
        QCOMPARE(control(form, "CmdSaveBMP")->toolTip(),
                 QStringLiteral("Writes the image as a Windows bitmap"));
        QCOMPARE(caption(form, "LblChkAlpha"), QStringLiteral("Alpha channel used"));
        QCOMPARE(control(form, "LblChkAlpha")->toolTip(),
                 QStringLiteral("Some pixels are partly\nor fully transparent"));
        QCOMPARE(caption(form, "LblCheckCompress"), QStringLiteral("Image compréssée (Format Vardo)"));
        QCOMPARE(control(form, "LblCheckCompress")->toolTip(), QString());
        QCOMPARE(control(form, "LblNbPixelAlpha")->toolTip(), QString());
        QCOMPARE(control<QLineEdit>(form, "TextCheminBMP")->text(), QString());
        QCOMPARE(control(form, "TextCheminBMP")->toolTip(), QStringLiteral("Path of the open image"));
        QCOMPARE(control<shell::EtchedFrame>(form, "lblOptCompress")->title(),
                 QStringLiteral("Compression options"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Tarvik-Vardo BMP Tool"));

        // French first, then English, 120 twips apart on one row; the stored one framed and 40 twips higher.
        QCOMPARE(form.languageCount(), 2);
        QVERIFY(form.languageFiles().at(0).endsWith(QLatin1String("French.lng")));
        QVERIFY(form.languageFiles().at(1).endsWith(QLatin1String("English.lng")));
        PictureBox* french = form.languageFlag(1);
        PictureBox* english = form.languageFlag(2);
        QCOMPARE(french->pos(), QPoint(5, 421));    // 70, 6320 twips
        QCOMPARE(english->pos(), QPoint(39, 419));  // 580, 6280 twips
        QVERIFY(!form.isActiveFlag(1));
        QVERIFY(form.isActiveFlag(2));
        QVERIFY(!french->picture().isNull());
        QCOMPARE(english->toolTip(), QStringLiteral("English"));
    }

    void clickingAFlagSwitchesTheLanguage() {
        QTemporaryDir home;
        QVERIFY(fillTestHome(home, bothLanguages()));
        MainForm form(home.path());
        QCOMPARE(form.tabTitle(0), QStringLiteral("Général"));
        QCOMPARE(control(form, "LblCheckCompress")->toolTip(),
                 QStringLiteral("Déclare une image au format compressée"));
        QVERIFY(form.isActiveFlag(1));
        QSignalSpy changed(&form, &MainForm::languageChanged);

        QTest::mouseClick(form.languageFlag(2), Qt::LeftButton, {}, QPoint(10, 8));

        QCOMPARE(changed.count(), 1);
        QCOMPARE(storedLanguage(home), QByteArray("2"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Tarvik-Vardo BMP Tool"));
        QCOMPARE(form.tabTitle(1), QStringLiteral("Batch compression"));
        QCOMPARE(caption(form, "LblOpt", 2), QStringLiteral("Alpha channel only"));
        QCOMPARE(caption(form, "LblCheckCompress"), QStringLiteral("Image compréssée (Format Vardo)"));
        QCOMPARE(control(form, "LblCheckCompress")->toolTip(), QString());
        QCOMPARE(control(form, "TxtNbAlpha")->toolTip(), QString());
        QVERIFY(form.isActiveFlag(2));
        QVERIFY(!form.isActiveFlag(1));
        QCOMPARE(form.languageFlag(1)->y(), 421);
        QCOMPARE(form.languageFlag(2)->y(), 419);
        // The tab strips were repainted with the new titles, the front one still white on dark grey.
        QCOMPARE(pixelOf(form.tabButton(0), 1, 2), qRgb(0x40, 0x40, 0x40));

        // Back to French: entries French.lng has come back; a caption it does not name keeps the English
        // text.
        QTest::mouseClick(form.languageFlag(1), Qt::LeftButton, {}, QPoint(10, 8));
        QCOMPARE(storedLanguage(home), QByteArray("1"));
        QCOMPARE(caption(form, "LblChkAlpha"), QStringLiteral("Canal Alpha Utilisé"));
        QCOMPARE(caption(form, "CmdSaveBMP"), QStringLiteral("Save (BMP)"));
        QCOMPARE(form.tabTitle(0), QStringLiteral("Général"));

        // A right click is not a click.
        QTest::mouseClick(form.languageFlag(2), Qt::RightButton, {}, QPoint(10, 8));
        QCOMPARE(storedLanguage(home), QByteArray("1"));
    }

    void aStoredNumberOutsideTheListFallsBackToFrench() {
        QTemporaryDir home;
        QVERIFY(fillTestHome(home, bothLanguages(), "7"));
        MainForm form(home.path());
        QVERIFY(form.isActiveFlag(1));
        QCOMPARE(form.tabTitle(0), QStringLiteral("Général"));
    }

    void withoutLanguageFilesTheBuiltInTextsStay() {
        QTemporaryDir home;
        MainForm form(home.path());
        QCOMPARE(caption(form, "CmdComp"), QStringLiteral("Lancer la Compression"));
        QCOMPARE(control(form, "LblChkAlpha")->toolTip(), QString());
        QCOMPARE(form.tabTitle(0), QString());
        QCOMPARE(form.languageCount(), 1);
        QVERIFY(form.isActiveFlag(1));
        QCOMPARE(form.windowTitle(), QStringLiteral("Tarvik-Vardo BMP Tool"));
    }

    void tabsBringTheirPageToTheFront() {
        QTemporaryDir home;
        QVERIFY(fillTestHome(home, bothLanguages()));
        MainForm form(home.path());
        QSignalSpy closePreview(&form, &MainForm::closePreviewRequested);
        QSignalSpy selected(&form, &MainForm::tabSelected);

        QTest::mouseClick(form.tabButton(2), Qt::LeftButton, {}, QPoint(10, 40));
        QCOMPARE(form.frontPage(), 2);
        QCOMPARE(form.page(2)->x(), 0);
        QVERIFY(form.page(0)->x() + form.page(0)->width() <= 0);
        QCOMPARE(closePreview.count(), 1);
        QCOMPARE(pixelOf(form.tabButton(2), 1, 2), qRgb(0x40, 0x40, 0x40));
        QCOMPARE(pixelOf(form.tabButton(0), 1, 2), qRgb(0x60, 0x60, 0x60));
        QCOMPARE(form.tabButton(2)->foreColor(), QColor(Qt::white));
        QCOMPARE(form.tabButton(0)->foreColor(), QColor(Qt::black));

        // Any button's release selects; going back to the image page leaves the preview alone.
        QTest::mouseClick(form.tabButton(0), Qt::RightButton, {}, QPoint(10, 40));
        QCOMPARE(form.frontPage(), 0);
        QCOMPARE(form.page(0)->x(), 0);
        QCOMPARE(closePreview.count(), 1);
        QTest::mouseClick(form.tabButton(0), Qt::LeftButton, {}, QPoint(10, 40));
        QCOMPARE(form.frontPage(), 0);
        QCOMPARE(selected.count(), 3);

        form.SelectTab(3);
        QCOMPARE(form.frontPage(), 0);
        QCOMPARE(selected.count(), 3);
    }

    void theBackgroundDragsTheWindowAndControlsDoNot() {
        QTemporaryDir home;
        MainForm form(home.path());
        form.move(100, 100);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint start = form.pos();
        PictureBox* page = form.page(0);

        // A press on a label reaches the page behind it, yet does not start a drag.
        QLabel* label = form.imagePage().LblTitre;
        QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
        sendMouse(page, QEvent::MouseMove, QPoint(60, 60), Qt::LeftButton);
        QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(form.pos(), start);

        const QPoint blank(3, 100);  // left of the frames
        QVERIFY(page->childAt(blank) == nullptr);
        sendMouse(page, QEvent::MouseButtonPress, blank, Qt::LeftButton);
        sendMouse(page, QEvent::MouseMove, blank + QPoint(30, 20), Qt::LeftButton);
        sendMouse(page, QEvent::MouseButtonRelease, blank + QPoint(30, 20), Qt::NoButton);
        QCOMPARE(form.pos(), start + QPoint(30, 20));

        // The window's own background drags too; the right button does not.
        const QPoint below(250, 430);  // under the pages, left of the version strip
        QVERIFY(form.childAt(below) == nullptr);
        sendMouse(&form, QEvent::MouseButtonPress, below, Qt::LeftButton);
        sendMouse(&form, QEvent::MouseMove, below - QPoint(10, 10), Qt::LeftButton);
        sendMouse(&form, QEvent::MouseButtonRelease, below - QPoint(10, 10), Qt::NoButton);
        QCOMPARE(form.pos(), start + QPoint(20, 10));
        QTest::mousePress(&form, Qt::RightButton, {}, below);
        sendMouse(&form, QEvent::MouseMove, QPoint(200, 400), Qt::RightButton);
        QCOMPARE(form.pos(), start + QPoint(20, 10));
    }

    void theLinkOpensTheProjectAddress() {
        QTemporaryDir home;
        MainForm form(home.path());
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QTest::mouseClick(form.linkLabel(), Qt::LeftButton, {}, QPoint(5, 5));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(MainForm::WebAddress)});
        QVERIFY(MainForm::WebAddress.contains(form.linkLabel()->text()));
    }

    void closingAsksThePreviewToCloseAndDropsTheFlags() {
        QTemporaryDir home;
        QVERIFY(fillTestHome(home, bothLanguages()));
        MainForm form(home.path());
        form.show();
        QSignalSpy closePreview(&form, &MainForm::closePreviewRequested);
        form.close();
        QCOMPARE(closePreview.count(), 1);
        QCOMPARE(form.findChildren<PictureBox*>(QStringLiteral("PictLangue")).size(), 1);
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("TarvikBMP.ini"))));
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
