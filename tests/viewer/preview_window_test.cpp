// The preview window's context menu: zoom, backgrounds, the image as the RL file shows it, the differences,
// and what the settings file remembers of them.
#include <QAction>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

#include <memory>
#include <random>

#include "fitter.h"
#include "image_files.h"
#include "image_tab.h"
#include "preview_options.h"
#include "viewer_test_support.h"

using viewer::DisplayMode;
using namespace viewer_test;

namespace {

const QRgb Grey = qRgb(224, 224, 224);

// Anti-aliased art with soft alpha edges, drawn by QPainter on a transparent ground in colours whose low bits
// are set. An ellipse and a stroked curve stay within the RL palette, so plain compression takes them; `rich`
// lays crossing gradients and text under them: thousands of combinations that only fitting can write.
QByteArray art(unsigned seed, int size, bool rich = false) {
    std::mt19937 random(seed);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (rich) {
        QRadialGradient gradient(size * 0.4, size * 0.4, size * 0.6);
        gradient.setColorAt(0, QColor(250, 240, 90));
        gradient.setColorAt(0.6, QColor(200, 60, 40, 220));
        gradient.setColorAt(1, QColor(30, 20, 120, 0));
        painter.setBrush(gradient);
        painter.drawEllipse(QRectF(1.5, 2.5, size - 3, size - 5));
        QLinearGradient across(0, 0, size, size / 2.0);
        across.setColorAt(0, QColor(0, 200, 255, 90));
        across.setColorAt(1, QColor(255, 0, 160, 90));
        painter.setBrush(across);
        painter.drawRoundedRect(QRectF(size * 0.1, size * 0.55, size * 0.8, size * 0.35), 6.5, 6.5);
        QFont font = painter.font();
        font.setPixelSize(std::max(8, size / 5));
        painter.setFont(font);
        painter.setPen(QColor(20, 90, 30));
        painter.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QStringLiteral("Tv"));
        painter.setPen(Qt::NoPen);
    }
    painter.setBrush(QColor(pick(0, 255) | 7, pick(0, 255) | 3, pick(0, 255) | 5));
    painter.drawEllipse(QRectF(pick(0, size / 4), pick(0, size / 4), size / 2 + 0.5, size / 3 + 0.3));
    QPainterPath curve(QPointF(1, size - 2.5));
    curve.cubicTo(size / 3.0, pick(0, size), size * 0.6, pick(0, size), size - 1.5, 2.2);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(pick(0, 255) | 1, pick(0, 255) | 1, pick(0, 255) | 1, 200), 1.7));
    painter.drawPath(curve);
    painter.end();
    return bitmapOf(image);
}

// A run of one colour whose alpha changes inside the same level: an RL run keeps its first pixel's alpha, so
// the three pixels after it show 127 where their own alpha would show 135. Everything else survives the
// file exactly.
QByteArray threeChangedPixels() {
    return bitmapBytes(6, 1, 32, [](int x, int) {
        static const Rgba p[6] = {{248, 0, 0, 130}, {248, 0, 0, 133}, {248, 0, 0, 133},
                                  {248, 0, 0, 133}, {0, 0, 0, 0},     {0, 252, 0, 255}};
        return p[x];
    });
}

QImage grabbed(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage decodedPicture(const QString& path, viewer::Background background) {
    imaging::ImageModel model;
    if (!imaging::LoadCompressedImage(path.toStdString(), model)) {
        return {};
    }
    QImage picture(model.Width, model.Height, QImage::Format_RGB32);
    viewer::PreviewCounts counts;
    viewer::renderWithTransparency(model, viewer::PixelOrder::TopRowFirst,
                                   reinterpret_cast<std::uint32_t*>(picture.bits()),
                                   std::size_t(picture.bytesPerLine()) / 4, counts, viewer::backdropOf(background));
    return picture;
}

}  // namespace

class PreviewWindowTest : public QObject, ImageTabDriver {
    Q_OBJECT

    viewer::FrmImage* preview() const { return m_tab->preview(); }
    void compress(const QString& path) { click(c().CmdCompressRL, path); }
    QAction* action(const char* name) const {
        return preview()->findChild<QAction*>(QString::fromLatin1(name));
    }
    void trigger(const char* name) {
        QAction* entry = action(name);
        QVERIFY2(entry != nullptr && entry->isEnabled() && entry->isVisible(), name);
        entry->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!m_tab->shownImagePending(), 60000);
    }

private slots:
    void init() { QVERIFY(startWindow()); }

    // Every image pixel becomes a zoom x zoom block of its own colour on screen, in each display mode.
    void zoomKeepsPixelsSharpInEveryMode() {
        open("art.bmp", art(1, 24));
        for (const int zoom : viewer::ZoomSteps) {
            trigger(qPrintable(QStringLiteral("Zoom%1").arg(zoom)));
            QCOMPARE(preview()->scale(), double(zoom));
            for (int mode = 0; mode < viewer::DisplayModeCount; ++mode) {
                QTest::mouseClick(c().OptAffichage[std::size_t(mode)], Qt::LeftButton);
                const QImage source = picture(mode);
                const QImage screen = grabbed(preview()->picture(DisplayMode(mode)));
                QCOMPARE(screen.size(), source.size() * zoom);
                QCOMPARE(screen, source.scaled(source.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation));
            }
        }
    }

    void backgroundsShowThroughTransparentPixelsOnly() {
        // 16 x 16: fully transparent, except a half-transparent red top left and an opaque blue pixel.
        open("holes.bmp", bitmapBytes(16, 16, 32, [](int x, int y) {
                 return x == 0 && y == 0 ? Rgba{255, 0, 0, 128} : x == 1 && y == 0 ? Rgba{0, 0, 255, 255} : Rgba{9, 9, 9, 0};
             }));
        QCOMPARE(picture(0).pixel(8, 0), Grey);  // the default stays the light grey
        const QList<std::tuple<const char*, QRgb, QRgb, QRgb>> cases{
            {"BackgroundBlack", qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(128, 0, 0)},
            {"BackgroundWhite", qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 127, 127)},
            // Squares of 8 image pixels: white at the corner, grey beside it, white again diagonally.
            {"BackgroundCheckerboard", qRgb(255, 255, 255), qRgb(204, 204, 204), qRgb(255, 127, 127)},
            {"BackgroundLightGrey", Grey, Grey, qRgb(240, 112, 112)},
        };
        const QImage withoutTransparency = picture(1);
        for (const auto& [name, corner, beside, blended] : cases) {
            trigger(name);
            trigger("Zoom4");
            const QImage shown = picture(0);
            QCOMPARE((QList<QRgb>{shown.pixel(2, 2), shown.pixel(8, 0), shown.pixel(9, 9), shown.pixel(0, 0),
                                  shown.pixel(1, 0)}),
                     (QList<QRgb>{corner, beside, corner, blended, qRgb(0, 0, 255)}));
            QCOMPARE(grabbed(preview()->picture(DisplayMode::WithTransparency)).pixel(8 * 4 + 3, 2), beside);
            QCOMPARE(picture(1), withoutTransparency);  // the other modes ignore the background
        }
    }

    // The picture "as the target program shows it" is the compressed file decompressed, pixel for pixel, on
    // generated art; and the same file opened in the window gives the same pictures.
    void asShownIsTheDecompressedFile() {
        for (unsigned seed = 1; seed <= 6; ++seed) {
            const int size = 16 + int(seed) * 3;
            const QString name = QStringLiteral("art%1.bmp").arg(seed);
            open(name, art(seed, size));
            QVERIFY2(c().CmdCompressRL->isEnabled(), "the art must fit the RL palette");
            trigger("BackgroundCheckerboard");
            trigger("AsShown");
            QVERIFY(preview()->hasShownImage());
            const QList<QImage> asShown{picture(0), picture(1), picture(2)};
            QVERIFY(asShown[1] != QImage());
            const QString packed = w->file(QStringLiteral("art%1-packed.bmp").arg(seed));
            compress(packed);
            QCOMPARE(asShown[0], decodedPicture(packed, viewer::Background::Checkerboard));
            trigger("AsShown");  // off: the bitmap itself again, which differs in its low bits
            QVERIFY(picture(1) != asShown[1]);
            open(packed);
            QCOMPARE((QList<QImage>{picture(0), picture(1), picture(2)}), asShown);
        }
    }

    void differencesMarkWhatTheFileChangesAndCountIt() {
        const QString path = open("runs.bmp", threeChangedPixels());
        trigger("Differences");
        QCOMPARE(preview()->differenceCount(), std::optional<std::int64_t>(3));
        QCOMPARE(preview()->windowTitle(),
                 QStringLiteral("Aperçu - ") + path + QStringLiteral(" — 3 pixel(s) modifié(s)"));
        // The others are dimmed, not marked: opaque green (0, 252, 0) becomes (42, 126, 42).
        const QImage marked = picture(0);
        const QRgb mark = viewer::DifferenceMark;
        QCOMPARE(
            (QList<QRgb>{marked.pixel(1, 0), marked.pixel(2, 0), marked.pixel(3, 0), marked.pixel(5, 0)}),
            (QList<QRgb>{mark, mark, mark, qRgb(42, 126, 42)}));
        QVERIFY(marked.pixel(0, 0) != mark && marked.pixel(4, 0) != mark);
        trigger("Differences");
        QCOMPARE(preview()->windowTitle(), QStringLiteral("Aperçu - ") + path);
        QVERIFY(picture(0).pixel(1, 0) != viewer::DifferenceMark);

        // An RL file is what the target program shows: nothing differs.
        const QString packed = w->file("runs.rl.bmp");
        compress(packed);
        trigger("Differences");
        open(packed);
        QCOMPARE(preview()->differenceCount(), std::optional<std::int64_t>(0));
        QVERIFY(preview()->windowTitle().endsWith(QStringLiteral(" — 0 pixel(s) modifié(s)")));

        // The menu and the count in the title follow the language, as the preview's title does.
        QCOMPARE(action("ZoomFit")->text(), QStringLiteral("Ajuster à l'écran"));
        w->form.language().setLanguageFilePath(
            QStringLiteral(TARVIK_TEST_LANGUAGE_DATA "/English.lng").toStdString());
        QVERIFY(w->form.language().LoadLanguageFile());
        emit w->form.languageChanged();
        QCOMPARE(action("ZoomFit")->text(), QStringLiteral("Fit to screen"));
        QCOMPARE(action("BackgroundCheckerboard")->text(), QStringLiteral("Checkerboard"));
        QCOMPARE(action("AsShown")->text(), QStringLiteral("As the target program shows it"));
        QCOMPARE(preview()->windowTitle(),
                 QStringLiteral("Preview - ") + packed + QStringLiteral(" — 0 pixel(s) changed"));
    }

    void anImageNoRlFileCanHoldOffersNoPictureAsShown() {
        // Wider than the format's 65535 pixels: not even fitting helps.
        open("wide.bmp", bitmapBytes(65536, 1, 24, [](int x, int) { return Rgba{x & 255, 0, 0}; }));
        QVERIFY(!action("Reduce")->isVisible() || action("Reduce")->isEnabled());
        trigger("AsShown");
        QVERIFY(preview()->shownImageUnavailable());
        QVERIFY(!action("AsShown")->isEnabled());
        QVERIFY(!action("Differences")->isEnabled());
        QCOMPARE(preview()->differenceCount(), std::nullopt);
        // Asked to reduce it anyway, it says why and writes nothing.
        w->dialogs->saveAnswers << FakeFileDialogs::SaveChoice{w->file("never"), 1};
        action("Reduce")->setVisible(true);
        trigger("Reduce");
        QVERIFY(w->dialogs->failures.isEmpty());
        QCOMPARE(w->dialogs->messages.size(), 1);
        QVERIFY(w->dialogs->messages[0].startsWith(QStringLiteral("L'image ne peut pas être réduite au format RL :")));
        QVERIFY(w->dialogs->messages[0].contains(QDir::toNativeSeparators(w->file("wide.bmp"))));
        QVERIFY(w->dialogs->messages[0].contains(QStringLiteral("65535")));
        QVERIFY(!QFile::exists(w->file("never.bmp")));
    }

    void theMenuIsRememberedForTheNextPreview() {
        open("art.bmp", art(2, 20));
        trigger("Zoom4");
        trigger("BackgroundCheckerboard");
        trigger("AsShown");
        trigger("Differences");
        QCOMPARE((QStringList{setting(w->home, "PreviewZoom"), setting(w->home, "PreviewBackground"),
                              setting(w->home, "PreviewAsShown"), setting(w->home, "PreviewDifferences")}),
                 (QStringList{"4", "1", "1", "1"}));
        w->form.SelectTab(1);  // closes the preview
        QTRY_VERIFY(preview() == nullptr);
        open("again.bmp", art(3, 20));
        const viewer::PreviewOptions expected{4, viewer::Background::Checkerboard, true, true};
        QCOMPARE(preview()->options(), expected);
        QVERIFY(action("Zoom4")->isChecked());
        QVERIFY(action("BackgroundCheckerboard")->isChecked());
        QVERIFY(preview()->differenceCount().has_value());
        QCOMPARE(grabbed(preview()->picture(DisplayMode::WithTransparency)).size(), QSize(80, 80));
        // The design's keys are untouched.
        QCOMPARE(setting(w->home, "Language"), QString());
        // Values no menu entry gives fall back to the defaults.
        QVERIFY(writeFile(w->home.filePath("TarvikBMP.ini"),
                          "[GENERAL]\r\nPreviewZoom=3\r\nPreviewBackground=9\r\nPreviewAsShown=yes\r\n"
                          "PreviewDifferences=-1\r\n"));
        QCOMPARE(viewer::readPreviewOptions(w->home.path().toStdString()), viewer::PreviewOptions{});
        QVERIFY(writeFile(w->home.filePath("TarvikBMP.ini"), "[GENERAL]\r\nPreviewZoom=0\r\nPreviewBackground=2\r\n"));
        const viewer::PreviewOptions fit{viewer::FitZoom, viewer::Background::Black, false, false};
        QCOMPARE(viewer::readPreviewOptions(w->home.path().toStdString()), fit);
    }

    // The window grows with the zoom up to the screen's free area, and scrolls beyond.
    void theWindowGrowsWithTheZoomAndScrollsBeyond() {
        open("wide.bmp", bitmapBytes(300, 40, 24, [](int x, int y) { return Rgba{x % 256, y * 6, 0}; }));
        const QRect available = preview()->screen()->availableGeometry();
        QCOMPARE(preview()->size(), QSize(300, 40));
        // Ctrl and the wheel step through the zoom; the plain wheel scrolls.
        QWidget* viewport = preview()->scrollArea()->viewport();
        for (const auto& [delta, modifiers, zoom] : {std::tuple{120, Qt::ControlModifier, 2},
                                                     {120, Qt::ControlModifier, 4},
                                                     {-120, Qt::ControlModifier, 2},
                                                     {-120, Qt::NoModifier, 2}}) {
            QWheelEvent event(QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                              Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(viewport, &event);
            QCOMPARE(preview()->options().zoom, zoom);
        }
        QCOMPARE(setting(w->home, "PreviewZoom"), QStringLiteral("2"));
        QCOMPARE(preview()->size(), QSize(600, 80));
        trigger("Zoom8");
        QVERIFY(preview()->width() <= available.width() && preview()->width() > available.width() / 2);
        QCOMPARE(preview()->picture(DisplayMode::WithTransparency)->size(), QSize(2400, 320));
        QVERIFY(preview()->scrollArea()->horizontalScrollBar()->maximum() > 0);
        trigger("ZoomFit");
        const double fit = preview()->scale();
        QVERIFY(fit >= 1 && fit == std::floor(fit) && 300 * fit <= available.width());
        QVERIFY(300 * (fit + 1) > available.width() || 40 * (fit + 1) > available.height());
    }

    // "Reduce and compress...": the fitted image in the preview with the command line's report, then the RL
    // file written byte for byte as the fitting core writes it.
    void reduceShowsTheFittedImageAndWritesIt() {
        const QString path = open("rich.bmp", art(8, 160, true));
        QVERIFY(!c().CmdCompressRL->isEnabled());
        QVERIFY(action("Reduce")->isVisible());
        imaging::ImageModel model;
        QVERIFY(imaging::loadPicture(path.toStdString(), imaging::FileKind::Bitmap, model));
        const tarvik::Result<fitting::Fitted> fitted = fitting::fitImage(model);
        QVERIFY(fitted);
        QVERIFY(!fitted->report.untouched && fitted->report.pixelsChanged > 0);
        const QByteArray expected(reinterpret_cast<const char*>(fitted->rl.data()), qsizetype(fitted->rl.size()));

        w->dialogs->saveAnswers << FakeFileDialogs::SaveChoice{w->file("fitted"), 1};
        trigger("Reduce");
        QCOMPARE(w->dialogs->calls.last().title, viewer::ImageTab::CompressedSaveTitle);
        QCOMPARE(w->dialogs->calls.last().filters, QStringList{QStringLiteral("Fichier image compressé(*.bmp)")});
        QCOMPARE(readFile(w->file("fitted.bmp")), expected);
        QCOMPARE(setting(w->home, "Folder3"), w->files.path());
        QCOMPARE(preview()->reportLine(), QString::fromStdString(fitting::reportLine(fitted->report)));
        // The preview shows what the written file gives back; showing it is not a choice to remember.
        QVERIFY(preview()->options().asShown);
        QCOMPARE(setting(w->home, "PreviewAsShown"), QString());
        QCOMPARE(picture(0), decodedPicture(w->file("fitted.bmp"), viewer::Background::LightGrey));
        trigger("Differences");
        QCOMPARE(preview()->differenceCount(), std::optional<std::int64_t>(fitted->report.pixelsChanged));
        QVERIFY(preview()->windowTitle().endsWith(
            QStringLiteral(" — %1 pixel(s) modifié(s)").arg(fitted->report.pixelsChanged)));

        // Again, from the result already made: a cancelled dialog writes nothing, a failed write is reported.
        const int calls = w->dialogs->calls.size();
        trigger("Reduce");
        QCOMPARE(w->dialogs->calls.size(), calls + 1);
        QVERIFY(writeFile(w->file("blocker"), "x"));
        w->dialogs->saveAnswers << FakeFileDialogs::SaveChoice{w->file("blocker/out.bmp"), 1};
        trigger("Reduce");
        QCOMPARE(w->dialogs->failures.size(), 2);
        QCOMPARE(w->dialogs->failures[0], w->file("blocker/out.bmp"));
        QCOMPARE(QDir(w->files.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("blocker"), QStringLiteral("fitted.bmp"), QStringLiteral("rich.bmp")}));
    }

    // Fitting a 2048 x 2048 image runs off the GUI thread: the window goes on handling events under the busy
    // cursor, and a file opened meanwhile is not overwritten by the late result.
    void reducingALargeImageLeavesTheWindowResponsive() {
        open("large.bmp", bitmapBytes(2048, 2048, 32, [](int x, int y) {
                 return Rgba{(x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255, 128 + ((x + y) & 127)};
             }));
        QVERIFY(!c().CmdCompressRL->isEnabled());
        action("Reduce")->trigger();
        QVERIFY(m_tab->shownImagePending());
        QVERIFY(QGuiApplication::overrideCursor() != nullptr &&
                QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
        bool handled = false;
        QTimer::singleShot(0, this, [&] { handled = true; });
        QTRY_VERIFY(handled);
        QVERIFY(m_tab->shownImagePending());
        QTRY_VERIFY_WITH_TIMEOUT(!m_tab->shownImagePending(), 120000);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(w->dialogs->calls.last().title, viewer::ImageTab::CompressedSaveTitle);  // cancelled
        QVERIFY(preview()->reportLine().contains(QStringLiteral("combinations")));

        // Started on one file, then replaced by another before it ends: the late result is dropped.
        trigger("Differences");
        w->dialogs->openAnswers << w->file("large.bmp");
        QTest::mouseClick(c().CmdOuvrirBMP, Qt::LeftButton);
        QVERIFY(m_tab->shownImagePending());
        open("small.bmp", art(7, 20));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(120000));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_tab->shownImagePending() && QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(picture(0).size(), QSize(20, 20));
        QVERIFY(preview()->hasShownImage());
        QCOMPARE(preview()->reportLine(), QString());
    }

    // Steps from the ends and from a fitted scale; the plain steps are the wheel's above.
    void zoomSteps() {
        QCOMPARE(viewer::steppedZoom(8, 1), 8);
        QCOMPARE(viewer::steppedZoom(1, -1), 1);
        QCOMPARE(viewer::steppedZoom(2.5, -1), 2);
        QCOMPARE(viewer::steppedZoom(2.5, 1), 4);
        QCOMPARE(viewer::steppedZoom(0.3, 1), 1);
        // Fitting: the largest whole factor for a small image, a fraction for a large one.
        QCOMPARE(viewer::zoomScale(viewer::FitZoom, 10, 10, 95, 200), 9.0);
        QCOMPARE(viewer::zoomScale(viewer::FitZoom, 400, 100, 200, 200), 0.5);
    }
};

QTEST_MAIN(PreviewWindowTest)
#include "preview_window_test.moc"
