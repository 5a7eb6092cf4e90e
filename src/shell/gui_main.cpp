#include "gui_main.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "design_fonts.h"
#include "main_form.h"
#include "program_icon.h"
#include "program_settings.h"
#include "version.h"
#include "window_support.h"
#include "single_instance.h"
#include "termination.h"

namespace shell {
namespace {

constexpr int HandOverTimeoutMs = 3000;

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Paths are made absolute here, since the window that opens them may be running in another folder.
QStringList filePaths(const QStringList& arguments) {
    QStringList paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].isEmpty()) {
            paths << QFileInfo(arguments[i]).absoluteFilePath();
        }
    }
    return paths;
}

}  // namespace

bool hasDisplay() {
    return environmentSet("DISPLAY") || environmentSet("WAYLAND_DISPLAY") ||
           environmentSet("QT_QPA_PLATFORM");
}

int runGui(int argc, char** argv) {
    return runGui(argc, argv, {});
}

int runGui(int argc, char** argv, const MainFormHook& attach) {
    if (!hasDisplay()) {
        std::fprintf(
            stderr,
            "tarvikbmp: no display to open the window on (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are "
            "unset); see tarvikbmp --help for the command line\n");
        return 1;
    }
    // A kill or a closed terminal during a batch run leaves no hidden temporary in the backup folder.
    tarvik::handleTerminationSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarvikBMP"));
    QApplication::setApplicationVersion(QStringLiteral(TARVIK_VERSION));
    // The desktop entry's name, so that window managers and task bars show the entry's icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvikbmp"));
    QApplication::setWindowIcon(viewer::programIcon());
    const settings::ProgramLocations where = settings::programLocations();
    const QStringList paths = filePaths(QApplication::arguments());

    // One window per settings folder: two windows would overwrite each other's remembered folders.
    SingleInstance instance(viewer::fromPath(where.settingsFolder));
    if (!instance.claim()) {
        instance.handOver(paths, HandOverTimeoutMs);
        return 0;
    }

    loadDesignFonts();
    MainForm form(where);
    if (attach) {
        attach(form);
    }
    QObject::connect(&instance, &SingleInstance::pathsReceived, &form, &MainForm::receivePaths);
    form.show();
    if (!paths.isEmpty()) {
        QTimer::singleShot(0, &form, [&form, paths] { form.receivePaths(paths); });
    }
    return QApplication::exec();
}

}  // namespace shell
