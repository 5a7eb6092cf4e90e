// How long the preview of a large image takes: the three pictures built from the model, as the image tab
// does after a load. Prints milliseconds; run it from the build folder.

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

#include "frm_image.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    constexpr int Side = 4096;
    imaging::ImageModel model;
    model.Width = Side;
    model.Height = Side;
    model.BitDepth = 32;
    model.Pixels.resize(static_cast<std::size_t>(Side) * Side);
    for (std::size_t i = 0; i < model.Pixels.size(); ++i) {
        // Every alpha case in a busy mix: opaque, transparent and partial pixels side by side.
        model.Pixels[i] = {static_cast<std::int32_t>(i * 2654435761u & 0xFFFFFF),
                           static_cast<std::int32_t>(i % 7 == 0   ? 0
                                                     : i % 3 == 0 ? 128
                                                                  : 255)};
    }
    viewer::FrmImage preview;
    for (int run = 1; run <= 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        viewer::PreviewCounts counts;
        const bool drawn = preview.drawImage(model, viewer::PixelOrder::BottomRowFirst, counts);
        const qint64 built = timer.elapsed();
        preview.show();
        preview.repaint();
        const qint64 shown = timer.elapsed();
        timer.restart();
        preview.OptAffichage_Click(1);
        const qint64 second = timer.elapsed();
        timer.restart();
        preview.OptAffichage_Click(2);
        const qint64 third = timer.elapsed();
        preview.OptAffichage_Click(0);
        std::printf(
            "run %d: %dx%d preview %s: first picture built in %lld ms, window shown after %lld ms; "
            "first switch to mode 1 %lld ms, to mode 2 %lld ms\n",
            run, Side, Side, drawn ? "drawn" : "FAILED", static_cast<long long>(built),
            static_cast<long long>(shown), static_cast<long long>(second), static_cast<long long>(third));
        preview.hide();
    }
    return 0;
}
