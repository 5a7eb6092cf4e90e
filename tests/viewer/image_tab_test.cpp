#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "image_tab.h"
#include "viewer_test_support.h"

using viewer::DisplayMode;
using namespace viewer_test;

namespace {

const QRgb Grey = qRgb(224, 224, 224), Black = qRgb(0, 0, 0), White = qRgb(255, 255, 255);

// A 4 x 2 sprite: half-transparent red, a fully transparent pixel with a colour of its own, opaque green,
// blue at alpha 200; two opaque whites, red at alpha 0, opaque blue.
QByteArray sprite() {
    return bitmapBytes(4, 2, 32, [](int x, int y) {
        static const Rgba p[8] = {{255, 0, 0, 128}, {10, 20, 30, 0},      {0, 255, 0, 255},
                                  {0, 0, 255, 200}, {255, 255, 255, 255}, {255, 255, 255, 255},
                                  {255, 0, 0, 0},   {0, 0, 255, 255}};
        return p[y * 4 + x];
    });
}

// Colours and alphas that the RL format keeps exactly: 5-6-5 colours with their low bits clear, alpha 127
// (level 16) and 255.
QByteArray exact() {
    return bitmapBytes(3, 2, 32, [](int x, int y) {
        static const Rgba p[6] = {{248, 0, 0, 127}, {0, 0, 0, 0}, {0, 252, 0, 255},
                                  {0, 0, 248, 255}, {0, 0, 0, 0}, {248, 252, 248, 255}};
        return p[y * 3 + x];
    });
}

QByteArray plain(int width, int height, int bitDepth = 24) {
    return bitmapBytes(width, height, bitDepth, [](int x, int y) { return Rgba{x * 50, y * 80, 7}; });
}

QList<QRgb> pixels(const QImage& image) {  // RGB32 rows are never padded
    const auto* first = reinterpret_cast<const QRgb*>(image.constBits());
    return QList<QRgb>(first, first + image.width() * image.height());
}

}  // namespace

class ImageTabTest : public QObject, ImageTabDriver {
    Q_OBJECT

    QString panel() const {
        return QStringList{c().LblTailleFichier->text(), c().LbLargeurImg->text(),  c().LbHauteurImg->text(),
                           c().LblColorDef->text(),      c().TxtNbAlpha->text(),    c().TxtNbAlpha0->text(),
                           c().TxtNbCouleur->text(),     c().TxtNbCouleur16->text()}
            .join(QLatin1Char('|'));
    }
    // What is enabled, checked and shown, by name; a group only partly enabled reads "name?".
    QString states() const {
        QStringList on;
        const auto group = [&](const char* name, std::initializer_list<QWidget*> widgets) {
            const auto enabled = std::ranges::count_if(widgets, &QWidget::isEnabled);
            if (enabled > 0) {
                on << QString::fromLatin1(name) + (enabled < std::ssize(widgets) ? "?" : "");
            }
        };
        group("compress", {c().CmdCompressRL});
        group("save", {c().CmdSaveBMP});
        group("rl", {c().ChkCompress, c().LblCheckCompress});
        group("alpha",
              {c().ChkAlpha, c().LblChkAlpha, c().LblNbPixelAlpha, c().TxtNbAlpha, c().LblNbPixelAlpha0,
               c().TxtNbAlpha0, c().OptAffichage[0], c().OptAffichage[2], c().LblOpt[0], c().LblOpt[2]});
        group("colours", {c().LblNbCouleurs, c().TxtNbCouleur});
        group("colours16", {c().LblNbCouleurs16, c().TxtNbCouleur16});
        on << (c().ChkCompress->isChecked() ? "rl-checked" : "")
           << (c().ChkAlpha->isChecked() ? "alpha-checked" : "")
           << (m_tab->preview() != nullptr && m_tab->preview()->isVisible() ? "preview" : "");
        return on.join(QLatin1Char(' ')).simplified();
    }
    QList<bool> shown() const {  // which of the three pictures is visible
        QList<bool> visible;
        for (int i = 0; i < viewer::DisplayModeCount; ++i) {
            visible << m_tab->preview()->picture(DisplayMode(i))->isVisibleTo(m_tab->preview());
        }
        return visible;
    }
    QByteArray ini() const { return readFile(w->home.filePath(QStringLiteral("TarvikBMP.ini"))); }

private slots:
    void init() { QVERIFY(startWindow()); }
    void cleanup() { w.reset(); }

    void openingFillsThePanel_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");  // size|width|height|depth|4 counters; "" keeps the panel
        QTest::addColumn<QString>("enabled");
        const QByteArray rl = compressed(exact());
        QByteArray cut = plain(20, 20);
        cut.truncate(200);
        // Rows of 15 bytes padded to 16: 54 + 3 x 16.
        QTest::newRow("24-bit") << plain(5, 3) << "102 Octet(s)|5 Pixel(s)|3 Pixel(s)|24 Bits|0|0|15|15"
                                << "compress colours colours16 preview";
        // Colours of the pixels not fully transparent: red, green, blue, white; combinations with alpha 7 or
        // more: red/128, green, blue/200, white, blue/255.
        QTest::newRow("32-bit sprite") << sprite() << "86 Octet(s)|4 Pixel(s)|2 Pixel(s)|32 Bits|4|2|4|5"
                                       << "compress alpha colours colours16 alpha-checked preview";
        QTest::newRow("32-bit opaque")
            << plain(3, 3, 32) << "90 Octet(s)|3 Pixel(s)|3 Pixel(s)|32 Bits|0|0|9|9"
            << "compress alpha colours colours16 preview";
        // What the preview met: one half-transparent and two transparent pixels; four palette colours.
        QTest::newRow("RL") << rl
                            << QString::number(rl.size()) + " Octet(s)|3 Pixel(s)|2 Pixel(s)|16 Bits|3|2|0|4"
                            << "save rl alpha colours16 rl-checked alpha-checked preview";
        QTest::newRow("253 combinations")
            << bitmapWithCombinations(253) << "814 Octet(s)|253 Pixel(s)|1 Pixel(s)|24 Bits|0|0|253|253"
            << "compress colours colours16 preview";
        QTest::newRow("254 combinations")
            << bitmapWithCombinations(254) << "818 Octet(s)|254 Pixel(s)|1 Pixel(s)|24 Bits|0|0|254|254"
            << "colours colours16 preview";
        QTest::newRow("unknown type") << QByteArray("XY0123456789") << QString() << "colours colours16";
        QTest::newRow("empty file") << QByteArray() << QString() << "colours colours16";
        QTest::newRow("bitmap cut short") << cut << "||||0|0|0|0" << QString();
        QTest::newRow("RL cut short")
            << QByteArray("RL\x01\x00\x10\x00", 6) << QString("||||0|0|0|0") << "rl rl-checked";
    }
    // Each file is opened after a 24-bit one, so that values left over from it would show.
    void openingFillsThePanel() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QFETCH(QString, enabled);
        open("before.bmp", plain(2, 2));
        const QString before = panel();
        const QString path = open("file.bmp", bytes);
        QCOMPARE(c().TextCheminBMP->text(), path);
        QCOMPARE(panel(), expected.isEmpty() ? before : expected);
        QCOMPARE(states(), enabled);
    }

    void thePreviewDrawsEachModeByItsRules() {
        open("sprite.bmp", sprite());
        // Bitmaps first: the dialog's default type.
        QCOMPARE(w->dialogs->calls[0].filters,
                 (QStringList{QStringLiteral("Fichier BMP (*.bmp)"), QStringLiteral("Fichier PNG (*.png)")}));
        QCOMPARE(setting(w->home, "Folder1"), w->files.path());
        viewer::FrmImage* preview = m_tab->preview();
        QCOMPARE(preview->pos(), w->form.frameGeometry().topRight() + QPoint(1, 0));
        // A small image gets the narrowest window allowed, with its pictures centred in it.
        QCOMPARE(preview->size(), QSize(viewer::FrmImage::MinimumClientWidth, 2));
        const QWidget* alpha = preview->picture(DisplayMode::AlphaChannel);
        QCOMPARE(QRect(alpha->mapTo(preview, QPoint()), alpha->size()),
                 QRect((viewer::FrmImage::MinimumClientWidth - 4) / 2, 0, 4, 2));
        QCOMPARE(shown(), (QList<bool>{true, false, false}));
        // 55 x 224 / 255 = 48.3 for blue at 200.
        QCOMPARE(pixels(picture(0)), (QList<QRgb>{qRgb(240, 112, 112), Grey, qRgb(0, 255, 0),
                                                  qRgb(48, 48, 248), White, White, Grey, qRgb(0, 0, 255)}));
        QCOMPARE(pixels(picture(1)),
                 (QList<QRgb>{qRgb(255, 0, 0), qRgb(10, 20, 30), qRgb(0, 255, 0), qRgb(0, 0, 255), White,
                              White, qRgb(255, 0, 0), qRgb(0, 0, 255)}));
        QCOMPARE(pixels(picture(2)), (QList<QRgb>{Black, Black, Grey, Black, Grey, Grey, Black, Grey}));

        // One picture at a time; a click on a label selects its option; the next preview starts in mode 0.
        QTest::mouseClick(c().OptAffichage[2], Qt::LeftButton);
        QCOMPARE(shown(), (QList<bool>{false, false, true}));
        QTest::mouseClick(c().LblOpt[1], Qt::LeftButton);
        QVERIFY(c().OptAffichage[1]->isChecked());
        QCOMPARE(shown(), (QList<bool>{false, true, false}));
        open("plain.bmp", plain(3, 2));
        QVERIFY(c().OptAffichage[0]->isChecked());
        QCOMPARE(shown(), (QList<bool>{true, false, false}));
        // The window closed by the second open is gone for good; the new one stays.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_tab->preview() != nullptr && m_tab->preview()->isVisible());
        // Opaque: the same picture with and without transparency, and no black in the alpha picture.
        QCOMPARE(picture(0), picture(1));
        QCOMPARE(pixels(picture(2)), QList<QRgb>(6, Grey));
    }

    // Bitmap to RL through "Compression", then back through "Sauver (BMP)": every picture stays the same.
    void compressingAndSavingBackKeepThePictures() {
        open("exact.bmp", exact());
        const QList<QImage> fromBitmap = pictures();
        click(c().CmdCompressRL, file("packed"));
        QCOMPARE(w->dialogs->calls.last().title, QStringLiteral("Création d'un fichier image compressé BMP"));
        QCOMPARE(w->dialogs->calls.last().filters,
                 QStringList{QStringLiteral("Fichier image compressé(*.bmp)")});
        QCOMPARE(setting(w->home, "Folder3"), w->files.path());
        QVERIFY(c().CmdCompressRL->isEnabled());  // the same image may be written again
        const QString packed = file("packed.bmp");
        QCOMPARE(readFile(packed), compressed(exact()));
        open(packed);
        QCOMPARE(pictures(), fromBitmap);

        const QString existing = file("back.bmp");
        QVERIFY(writeFile(existing, "keep me"));
        w->dialogs->saveAnswers << FakeFileDialogs::SaveChoice{file("back"), 1};
        w->dialogs->overwriteAnswers << false;
        click(c().CmdSaveBMP, file("BACK2.BMP"));
        QCOMPARE(w->dialogs->overwriteQuestions, QStringList{existing});
        QCOMPARE(w->dialogs->calls.last().start, existing);  // the dialog comes back on the refused name
        QCOMPARE(w->dialogs->calls.last().title, QStringLiteral("Création d'un fichier image BMP"));
        QCOMPARE(readFile(existing), QByteArray("keep me"));
        QCOMPARE(setting(w->home, "Folder2"), w->files.path());
        QVERIFY(w->dialogs->failures.isEmpty());
        open(file("BACK2.BMP"));
        QCOMPARE(c().LblColorDef->text(), QStringLiteral("32 Bits"));
        QCOMPARE(pictures(), fromBitmap);
    }

    // Both save buttons report through one path; the codecs' own reasons are pinned by their tests.
    void aWriteThatFailsIsReported() {
        // A file where the destination's folder should be: nothing can be created below it.
        QVERIFY(writeFile(file("blocker"), "x"));
        open("exact.bmp", exact());
        click(c().CmdCompressRL, file("blocker/out.bmp"));
        QCOMPARE(w->dialogs->failures.size(), 2);
        QCOMPARE(w->dialogs->failures[0], file("blocker/out.bmp"));
        QVERIFY(!w->dialogs->failures[1].isEmpty());
    }

    void aCancelledOpenOrSaveChangesNothing() {
        const QString path = open("sprite.bmp", sprite());
        const QByteArray settings = ini();
        const QString values = panel();
        const QString enabled = states();
        const QList<QImage> shown = pictures();
        QTest::mouseClick(c().CmdOuvrirBMP, Qt::LeftButton);  // no answer: cancelled
        QCOMPARE(w->dialogs->calls.last().start, w->files.path());
        QCOMPARE(c().TextCheminBMP->text(), path);
        QCOMPARE(panel(), values);
        QCOMPARE(states(), enabled);
        QCOMPARE(pictures(), shown);
        QTest::mouseClick(c().CmdCompressRL, Qt::LeftButton);
        QCOMPARE(ini(), settings);
        QCOMPARE(QDir(w->files.path()).entryList(QDir::Files), QStringList{QStringLiteral("sprite.bmp")});
    }

    // A PNG opens as the bitmap of its pixels would: the same panel, pictures and buttons (how each kind of PNG
    // maps to a bitmap is the PNG reader's, pinned by its tests). Written by Qt's own PNG writer.
    void aPngOpensAsTheBitmapOfItsPixels() {
        // Fully transparent pixels black: a PNG writer need not keep the colour under alpha 0.
        const auto soft = [](int x, int y) {
            return x == y ? Rgba{0, 0, 0, 0} : Rgba{x * 60, y * 90, 200, x == 4 ? 255 : 40 * (x + y)};
        };
        open("as.bmp", bitmapBytes(5, 3, 32, soft));
        const QString values = panel(), enabled = states();
        const QList<QImage> shown = pictures();
        QImage image(5, 3, QImage::Format_ARGB32);
        for (int i = 0; i < 15; ++i) {
            const Rgba p = soft(i % 5, i / 5);
            image.setPixel(i % 5, i / 5, qRgba(p.r, p.g, p.b, p.a));
        }
        QVERIFY(image.save(file("as.png"), "PNG"));
        open(file("as.png"));
        QCOMPARE(c().TextCheminBMP->text(), file("as.png"));
        QCOMPARE(panel(), values);
        QCOMPARE(states(), enabled);
        QCOMPARE(pictures(), shown);

        // The path box: a typed path opens with Enter; a name that is no file changes nothing.
        open("other.bmp", plain(2, 2));
        c().TextCheminBMP->setText(file("as.png"));
        QTest::keyClick(c().TextCheminBMP, Qt::Key_Return);
        QCOMPARE(c().LbLargeurImg->text(), QStringLiteral("5 Pixel(s)"));
        c().TextCheminBMP->setText(file("nothing-here.png"));
        QTest::keyClick(c().TextCheminBMP, Qt::Key_Return);
        QCOMPARE(c().LbLargeurImg->text(), QStringLiteral("5 Pixel(s)"));
    }

    // A file handed over by a later start or dropped on the main window opens on the image tab as if chosen
    // with "..."; a dropped folder or address is refused. A batch tab brought to the front closes the
    // preview.
    void filesHandedOverOrDroppedOpenOnTheImageTab() {
        const auto drop = [this](const QString& path) {
            QMimeData data;
            data.setUrls({path.contains(':') ? QUrl(path) : QUrl::fromLocalFile(path)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&w->form, &enter);
            if (enter.isAccepted()) {
                QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(&w->form, &dropped);
            }
            return enter.isAccepted();
        };
        QVERIFY(!drop(w->files.path()) && !drop(QStringLiteral("https://example.org/a.bmp")));
        QVERIFY(writeFile(file("a/given.bmp"), sprite()));
        QImage png(7, 5, QImage::Format_ARGB32);
        png.fill(qRgba(10, 200, 30, 128));
        QVERIFY(QDir().mkpath(file("b")) && png.save(file("b/given.png"), "PNG"));
        for (const bool dropped : {false, true}) {
            for (const QString& path : {file("a/given.bmp"), file("b/given.png")}) {
                w->form.SelectTab(2);
                QTRY_VERIFY(m_tab->preview() == nullptr);
                if (dropped) {
                    QVERIFY(drop(path));
                } else {
                    w->form.receivePaths({path});
                }
                QTRY_COMPARE(c().TextCheminBMP->text(), path);
                QCOMPARE(w->form.frontPage(), 0);
                QCOMPARE(setting(w->home, "Folder1"), QFileInfo(path).path());
                QVERIFY(m_tab->preview() != nullptr && m_tab->preview()->isVisible());
                QCOMPARE(c().LbLargeurImg->text(), path.endsWith(".png") ? "7 Pixel(s)" : "4 Pixel(s)");
                QCOMPARE(c().LblColorDef->text(), QStringLiteral("32 Bits"));
            }
        }
    }
};

QTEST_MAIN(ImageTabTest)
#include "image_tab_test.moc"
