#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

#include "frm_image.h"
#include "image_tab.h"
#include "main_form.h"
#include "page_commands.h"
#include "viewer_test_support.h"

using viewer::DisplayMode;
using viewer::FrmImage;
using namespace viewer_test;

namespace {

QRgb rgb(int r, int g, int b) {
    return qRgb(r, g, b);
}
const QRgb Grey = qRgb(224, 224, 224);
const QRgb Black = qRgb(0, 0, 0);

// A 4 x 2 sprite: half-transparent red, a fully transparent pixel with a colour of its own, opaque green,
// blue at alpha 200; two opaque whites, red at alpha 0, opaque blue.
Rgba spritePixel(int x, int y) {
    static const Rgba top[4] = {{255, 0, 0, 128}, {10, 20, 30, 0}, {0, 255, 0, 255}, {0, 0, 255, 200}};
    static const Rgba bottom[4] = {
        {255, 255, 255, 255}, {255, 255, 255, 255}, {255, 0, 0, 0}, {0, 0, 255, 255}};
    return y == 0 ? top[x] : bottom[x];
}

// Colours and alphas that the RL format keeps exactly: 5-6-5 colours with their low bits clear, alpha 127
// (level 16) and 255.
Rgba exactPixel(int x, int y) {
    static const Rgba top[3] = {{248, 0, 0, 127}, {0, 0, 0, 0}, {0, 252, 0, 255}};
    static const Rgba bottom[3] = {{0, 0, 248, 255}, {0, 0, 0, 0}, {248, 252, 248, 255}};
    return y == 0 ? top[x] : bottom[x];
}

}  // namespace

class ImageTabTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_files;
    std::unique_ptr<shell::MainForm> m_form;
    std::shared_ptr<FakeFileDialogs> m_dialogs;
    viewer::ImageTab* m_tab = nullptr;

    const shell::ImagePageControls& c() const { return m_form->imagePage(); }
    QString file(const QString& name) const { return m_files->filePath(name); }
    QString written(const QString& name, const QByteArray& bytes) const {
        const QString path = file(name);
        return writeFile(path, bytes) ? path : QString();
    }
    void open(const QString& path) {
        m_dialogs->openAnswers << path;
        QTest::mouseClick(c().CmdOuvrirBMP, Qt::LeftButton);
    }
    QImage picture(DisplayMode mode) const {
        return m_tab->preview()->image(mode).convertToFormat(QImage::Format_RGB32);
    }
    QList<QImage> pictures() const {
        return {picture(DisplayMode::WithTransparency), picture(DisplayMode::WithoutTransparency),
                picture(DisplayMode::AlphaChannel)};
    }
    QStringList counters() const {
        return {c().TxtNbAlpha->text(), c().TxtNbAlpha0->text(), c().TxtNbCouleur->text(),
                c().TxtNbCouleur16->text()};
    }
    QStringList fileValues() const {
        return {c().LblTailleFichier->text(), c().LbLargeurImg->text(), c().LbHauteurImg->text(),
                c().LblColorDef->text()};
    }
    bool alphaPartEnabled() const {
        const bool on = c().TxtNbAlpha->isEnabled();
        for (QWidget* w : std::initializer_list<QWidget*>{
                 c().ChkAlpha, c().LblChkAlpha, c().LblNbPixelAlpha, c().LblNbPixelAlpha0, c().TxtNbAlpha0,
                 c().OptAffichage[0], c().OptAffichage[2], c().LblOpt[0], c().LblOpt[2]}) {
            if (w->isEnabled() != on) {
                return !on;  // mixed states never pass as "disabled"
            }
        }
        return on;
    }
    int visibleMode() const {
        int shown = -1;
        for (int i = 0; i < viewer::DisplayModeCount; ++i) {
            if (m_tab->preview()->picture(static_cast<DisplayMode>(i))->isVisibleTo(m_tab->preview())) {
                shown = shown < 0 ? i : 99;
            }
        }
        return shown;
    }

private slots:
    void init() {
        m_home = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        QVERIFY(fillProgramFolder(*m_home));
        m_form = std::make_unique<shell::MainForm>(m_home->path());
        m_dialogs = std::make_shared<FakeFileDialogs>();
        m_tab = shell::PageCommands::attach(*m_form, m_dialogs)->imageTab();
        m_form->show();
    }
    void cleanup() {
        m_form.reset();
        m_files.reset();
        m_home.reset();
    }

    void a24BitBitmapFillsThePanelAndOpensThePreview() {
        QVERIFY(!c().CmdCompressRL->isEnabled() && !c().CmdSaveBMP->isEnabled() && !alphaPartEnabled());
        const QString path =
            written(QStringLiteral("flag.bmp"), bitmapBytes(5, 3, 24, [](int x, int y) {
                        return x < 2 ? Rgba{255, 0, 0} : y == 0 ? Rgba{0, 0, 255} : Rgba{10, 20, 30};
                    }));
        open(path);

        QCOMPARE(m_dialogs->calls.size(), 1);
        QCOMPARE(m_dialogs->calls[0].title, QString());
        QCOMPARE(m_dialogs->calls[0].filters, QStringList{QStringLiteral("Fichier BMP (*.bmp)")});
        QCOMPARE(c().TextCheminBMP->text(), path);
        QCOMPARE(setting(*m_home, "Folder1"), m_files->path());
        // Rows of 15 bytes padded to 16: 54 + 3 x 16.
        QCOMPARE(fileValues(), (QStringList{"102 Octet(s)", "5 Pixel(s)", "3 Pixel(s)", "24 Bits"}));
        QCOMPARE(counters(), (QStringList{"0", "0", "3", "3"}));
        QVERIFY(c().TxtNbCouleur->isEnabled() && c().TxtNbCouleur16->isEnabled() &&
                c().LblNbCouleurs16->isEnabled());
        QVERIFY(!alphaPartEnabled());
        QVERIFY(!c().ChkAlpha->isChecked() && !c().ChkCompress->isChecked() && !c().ChkCompress->isEnabled());
        QVERIFY(c().CmdCompressRL->isEnabled());
        QVERIFY(!c().CmdSaveBMP->isEnabled());

        FrmImage* preview = m_tab->preview();
        QVERIFY(preview != nullptr && preview->isVisible());
        QCOMPARE(preview->windowTitle(), QStringLiteral("Aperçu - ") + path);
        QCOMPARE(preview->pos().x(), m_form->frameGeometry().x() + m_form->frameGeometry().width());
        QCOMPARE(preview->pos().y(), m_form->frameGeometry().y());
        QCOMPARE(visibleMode(), 0);
        // A 5-pixel image gets the narrowest window allowed, with its pictures centred in it.
        QCOMPARE(preview->width(), FrmImage::MinimumClientWidth);
        QCOMPARE(preview->height(), 3);
        QCOMPARE(preview->picture(DisplayMode::WithTransparency)->geometry(),
                 QRect((FrmImage::MinimumClientWidth - 5) / 2, 0, 5, 3));
        // Opaque: the same picture with and without transparency; no black in the alpha picture.
        QCOMPARE(picture(DisplayMode::WithTransparency), picture(DisplayMode::WithoutTransparency));
        QCOMPARE(picture(DisplayMode::WithoutTransparency).pixel(4, 2), rgb(10, 20, 30));
        QCOMPARE(picture(DisplayMode::WithoutTransparency).pixel(4, 0), rgb(0, 0, 255));
        QImage allGrey(5, 3, QImage::Format_RGB32);
        allGrey.fill(Grey);
        QCOMPARE(picture(DisplayMode::AlphaChannel), allGrey);
    }

    void a32BitBitmapDrawsEachModeByItsRules() {
        open(written(QStringLiteral("sprite.bmp"), bitmapBytes(4, 2, 32, spritePixel)));
        QCOMPARE(fileValues(), (QStringList{"86 Octet(s)", "4 Pixel(s)", "2 Pixel(s)", "32 Bits"}));
        // Colours of the pixels that are not fully transparent: red, green, blue, white; combinations with
        // alpha 7 or more: red/128, green, blue/200, white, blue/255.
        QCOMPARE(counters(), (QStringList{"4", "2", "4", "5"}));
        QVERIFY(alphaPartEnabled() && c().ChkAlpha->isChecked());
        QVERIFY(c().CmdCompressRL->isEnabled() && !c().CmdSaveBMP->isEnabled());

        const QImage withAlpha = picture(DisplayMode::WithTransparency);
        QCOMPARE(withAlpha.pixel(0, 0), rgb(240, 112, 112));  // red at 128 over the grey
        QCOMPARE(withAlpha.pixel(1, 0), Grey);
        QCOMPARE(withAlpha.pixel(2, 0), rgb(0, 255, 0));
        QCOMPARE(withAlpha.pixel(3, 0), rgb(48, 48, 248));  // 55 x 224 / 255 = 48.3; 248.3 for blue
        QCOMPARE(withAlpha.pixel(2, 1), Grey);
        const QImage colors = picture(DisplayMode::WithoutTransparency);
        QCOMPARE(colors.pixel(0, 0), rgb(255, 0, 0));
        QCOMPARE(colors.pixel(1, 0), rgb(10, 20, 30));
        QCOMPARE(colors.pixel(2, 1), rgb(255, 0, 0));
        const QImage alpha = picture(DisplayMode::AlphaChannel);
        const QList<QRgb> alphaRow0{alpha.pixel(0, 0), alpha.pixel(1, 0), alpha.pixel(2, 0),
                                    alpha.pixel(3, 0)};
        const QList<QRgb> alphaRow1{alpha.pixel(0, 1), alpha.pixel(1, 1), alpha.pixel(2, 1),
                                    alpha.pixel(3, 1)};
        QCOMPARE(alphaRow0, (QList<QRgb>{Black, Black, Grey, Black}));
        QCOMPARE(alphaRow1, (QList<QRgb>{Grey, Grey, Black, Grey}));

        // The options show one picture at a time; a click on a label selects its option.
        QTest::mouseClick(c().OptAffichage[2], Qt::LeftButton);
        QCOMPARE(visibleMode(), 2);
        QTest::mouseClick(c().LblOpt[1], Qt::LeftButton);
        QVERIFY(c().OptAffichage[1]->isChecked());
        QCOMPARE(visibleMode(), 1);
        // The next preview starts in mode 0 again.
        open(c().TextCheminBMP->text());
        QVERIFY(c().OptAffichage[0]->isChecked());
        QCOMPARE(visibleMode(), 0);
        // The window closed by the second open is gone for good; the new one stays.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_tab->preview() != nullptr && m_tab->preview()->isVisible());
    }

    void anOpaque32BitBitmapStillOffersTheAlphaPart() {
        open(written(QStringLiteral("opaque.bmp"), bitmapBytes(3, 3, 32, [](int x, int y) {
                         return Rgba{x * 80, y * 80, 7, 255};
                     })));
        QVERIFY(alphaPartEnabled());
        QVERIFY(!c().ChkAlpha->isChecked());
        QCOMPARE(counters().mid(0, 2), (QStringList{"0", "0"}));
        QCOMPARE(picture(DisplayMode::WithTransparency), picture(DisplayMode::WithoutTransparency));
    }

    void compressingThenReopeningShowsTheSameImage() {
        const QString bitmap = written(QStringLiteral("exact.bmp"), bitmapBytes(3, 2, 32, exactPixel));
        open(bitmap);
        const QList<QImage> fromBitmap = pictures();

        m_dialogs->saveAnswers << FakeFileDialogs::SaveChoice{file(QStringLiteral("packed")), 1};
        QTest::mouseClick(c().CmdCompressRL, Qt::LeftButton);
        const QString packed = file(QStringLiteral("packed.bmp"));
        QCOMPARE(m_dialogs->calls.last().kind, QStringLiteral("save"));
        QCOMPARE(m_dialogs->calls.last().title, QStringLiteral("Création d'un fichier image compressé BMP"));
        QCOMPARE(m_dialogs->calls.last().filters,
                 QStringList{QStringLiteral("Fichier image compressé(*.bmp)")});
        QVERIFY(m_dialogs->failures.isEmpty());
        QVERIFY(readFile(packed).startsWith("RL"));
        QCOMPARE(setting(*m_home, "Folder3"), m_files->path());
        QVERIFY(c().CmdCompressRL->isEnabled());  // the same image may be written again

        open(packed);
        QCOMPARE(fileValues(), (QStringList{QString::number(QFileInfo(packed).size()) + " Octet(s)",
                                            "3 Pixel(s)", "2 Pixel(s)", "16 Bits"}));
        // What the preview met: one half-transparent and two transparent pixels; four palette colours.
        QCOMPARE(counters(), (QStringList{"3", "2", "0", "4"}));
        QVERIFY(!c().TxtNbCouleur->isEnabled() && !c().LblNbCouleurs->isEnabled() &&
                c().TxtNbCouleur16->isEnabled());
        QVERIFY(alphaPartEnabled() && c().ChkAlpha->isChecked());
        QVERIFY(c().ChkCompress->isChecked() && c().ChkCompress->isEnabled() &&
                c().LblCheckCompress->isEnabled());
        QVERIFY(c().CmdSaveBMP->isEnabled() && !c().CmdCompressRL->isEnabled());
        QCOMPARE(pictures(), fromBitmap);
    }

    void savingAsBitmapCompletesTheNameAndAsksBeforeReplacing() {
        imaging::ImageModel model;
        QVERIFY(imaging::LoadBitmapImage(
            written(QStringLiteral("src.bmp"), bitmapBytes(3, 2, 32, exactPixel)).toStdString(), model));
        const QString packed = file(QStringLiteral("src.rl.bmp"));
        QVERIFY(imaging::SaveCompressedImage(packed.toStdString(), model));
        open(packed);
        const QList<QImage> fromRl = pictures();
        QVERIFY(c().CmdSaveBMP->isEnabled());

        const QByteArray keep("keep me");
        const QString existing = written(QStringLiteral("back.bmp"), keep);
        m_dialogs->saveAnswers << FakeFileDialogs::SaveChoice{file(QStringLiteral("back")), 1}
                               << FakeFileDialogs::SaveChoice{file(QStringLiteral("BACK2.BMP")), 1};
        m_dialogs->overwriteAnswers << false;
        QTest::mouseClick(c().CmdSaveBMP, Qt::LeftButton);
        QCOMPARE(m_dialogs->overwriteQuestions, QStringList{existing});
        QCOMPARE(m_dialogs->calls.last().start, existing);  // the dialog comes back on the refused name
        QCOMPARE(m_dialogs->calls.last().title, QStringLiteral("Création d'un fichier image BMP"));
        QCOMPARE(readFile(existing), keep);
        QCOMPARE(setting(*m_home, "Folder2"), m_files->path());
        QVERIFY(m_dialogs->failures.isEmpty());

        open(file(QStringLiteral("BACK2.BMP")));
        QCOMPARE(c().LblColorDef->text(), QStringLiteral("32 Bits"));
        QCOMPARE(pictures(), fromRl);
    }

    void aWriteThatFailsIsReported() {
        open(written(QStringLiteral("exact.bmp"), bitmapBytes(3, 2, 32, exactPixel)));
        // A file where the destination's folder should be: nothing can be created below it.
        written(QStringLiteral("blocker"), "x");
        const QString blocked = file(QStringLiteral("blocker/out.bmp"));
        m_dialogs->saveAnswers << FakeFileDialogs::SaveChoice{blocked, 1};
        QTest::mouseClick(c().CmdCompressRL, Qt::LeftButton);
        QCOMPARE(m_dialogs->failures.size(), 2);
        QCOMPARE(m_dialogs->failures[0], blocked);
        QVERIFY(!m_dialogs->failures[1].isEmpty());

        m_dialogs->failures.clear();
        QVERIFY(imaging::SaveCompressedImage(file(QStringLiteral("exact.rl")).toStdString(), m_tab->model()));
        open(file(QStringLiteral("exact.rl")));
        m_dialogs->saveAnswers << FakeFileDialogs::SaveChoice{blocked, 1};
        QTest::mouseClick(c().CmdSaveBMP, Qt::LeftButton);
        QCOMPARE(m_dialogs->failures.value(0), blocked);
        QVERIFY(!QFileInfo::exists(blocked));
    }

    void compressionNeedsFewerThan254Combinations_data() {
        QTest::addColumn<int>("combinations");
        QTest::addColumn<bool>("offered");
        QTest::newRow("253") << 253 << true;
        QTest::newRow("254") << 254 << false;
    }
    void compressionNeedsFewerThan254Combinations() {
        QFETCH(int, combinations);
        QFETCH(bool, offered);
        open(written(QStringLiteral("colours.bmp"), bitmapWithCombinations(combinations)));
        QCOMPARE(c().TxtNbCouleur16->text(), QString::number(combinations));
        QCOMPARE(c().CmdCompressRL->isEnabled(), offered);
        QVERIFY(m_tab->preview() != nullptr);
    }

    void filesThatCannotBeLoadedLeaveBothButtonsDisabled() {
        open(written(QStringLiteral("good.bmp"), bitmapBytes(2, 2, 24, [](int, int) {
                         return Rgba{1, 2, 3};
                     })));
        const QStringList goodValues = fileValues();

        // No known signature (a zero-byte file included): nothing is loaded and the panel stays.
        for (const char* name : {"odd.bmp", "empty.bmp"}) {
            const QString path = written(QString::fromLatin1(name), name[0] == 'o' ? "XY0123456789" : "");
            open(path);
            QCOMPARE(c().TextCheminBMP->text(), path);
            QVERIFY(!c().CmdCompressRL->isEnabled() && !c().CmdSaveBMP->isEnabled());
            QVERIFY(m_tab->preview() == nullptr || !m_tab->preview()->isVisible());
            QCOMPARE(fileValues(), goodValues);
        }

        // A bitmap whose pixels are missing, then an RL file cut short: failed loads, no preview.
        QByteArray cut = bitmapBytes(20, 20, 24, [](int, int) { return Rgba{9, 9, 9}; });
        cut.truncate(200);
        open(written(QStringLiteral("cut.bmp"), cut));
        QCOMPARE(fileValues(), (QStringList{"", "", "", ""}));
        QCOMPARE(counters(), (QStringList{"0", "0", "0", "0"}));
        QVERIFY(!c().CmdCompressRL->isEnabled() && !c().CmdSaveBMP->isEnabled() && !alphaPartEnabled());
        open(written(QStringLiteral("cut.rl"), QByteArray("RL\x01\x00\x10\x00", 6)));
        QVERIFY(c().ChkCompress->isChecked());
        QVERIFY(!c().CmdCompressRL->isEnabled() && !c().CmdSaveBMP->isEnabled());
        QVERIFY(m_tab->preview() == nullptr || !m_tab->preview()->isVisible());
    }

    void aCancelledOpenChangesNothing() {
        const QString path = written(QStringLiteral("sprite.bmp"), bitmapBytes(4, 2, 32, spritePixel));
        open(path);
        const QByteArray ini = readFile(m_home->filePath(QStringLiteral("TarvikBMP.ini")));
        const QStringList values = fileValues() + counters();
        const QList<QImage> shown = pictures();

        QTest::mouseClick(c().CmdOuvrirBMP, Qt::LeftButton);  // no answer: cancelled
        QCOMPARE(m_dialogs->calls.last().start, m_files->path());
        QCOMPARE(c().TextCheminBMP->text(), path);
        QCOMPARE(fileValues() + counters(), values);
        QVERIFY(c().CmdCompressRL->isEnabled() && !c().CmdSaveBMP->isEnabled());
        QVERIFY(m_tab->preview() != nullptr && m_tab->preview()->isVisible());
        QCOMPARE(pictures(), shown);
        QCOMPARE(readFile(m_home->filePath(QStringLiteral("TarvikBMP.ini"))), ini);

        // Cancelled save dialogs write nothing and remember nothing either.
        QTest::mouseClick(c().CmdCompressRL, Qt::LeftButton);
        QCOMPARE(readFile(m_home->filePath(QStringLiteral("TarvikBMP.ini"))), ini);
        QCOMPARE(QDir(m_files->path()).entryList(QDir::Files), QStringList{QStringLiteral("sprite.bmp")});
    }

    void filesHandedToTheWindowOpenOnTheImageTab() {
        const QString path = written(QStringLiteral("given.bmp"), bitmapBytes(2, 2, 32, spritePixel));
        m_form->SelectTab(1);
        m_form->receivePaths({path});
        QTRY_COMPARE(m_form->frontPage(), 0);
        QCOMPARE(c().TextCheminBMP->text(), path);
        QCOMPARE(setting(*m_home, "Folder1"), m_files->path());
        QVERIFY(m_tab->preview() != nullptr && m_tab->preview()->isVisible());
        // A batch tab in front closes the preview.
        m_form->SelectTab(2);
        QTRY_VERIFY(m_tab->preview() == nullptr);
    }
};

QTEST_MAIN(ImageTabTest)
#include "image_tab_test.moc"
