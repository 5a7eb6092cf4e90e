// How long the preview of a 4096 x 4096 image takes, as the image tab draws it after a load: the first
// picture built and shown, then the first switch to each other mode. Prints milliseconds.

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

#include "frm_image.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    imaging::ImageModel model;
    model.Width = model.Height = 4096;
    model.BitDepth = 32;
    model.Pixels.resize(std::size_t(4096) * 4096);
    for (std::size_t i = 0; i < model.Pixels.size(); ++i) {  // opaque, transparent and partial side by side
        model.Pixels[i] = {std::int32_t(i * 2654435761u & 0xFFFFFF), i % 7 == 0 ? 0 : i % 3 == 0 ? 128 : 255};
    }
    for (int run = 1; run <= 3; ++run) {
        viewer::FrmImage preview;
        viewer::PreviewCounts counts;
        QElapsedTimer timer;
        timer.start();
        const bool drawn = preview.drawImage(model, viewer::PixelOrder::BottomRowFirst, counts);
        preview.show();
        preview.repaint();
        const qint64 shown = timer.restart();
        preview.OptAffichage_Click(1);
        const qint64 second = timer.restart();
        preview.OptAffichage_Click(2);
        std::printf("run %d: %s, shown in %lld ms, mode 1 in %lld ms, mode 2 in %lld ms\n", run,
                    drawn ? "drawn" : "FAILED", qint64(shown), qint64(second), qint64(timer.elapsed()));
    }
    return 0;
}
