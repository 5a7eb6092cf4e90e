// Starts the window through runGui and reports on stdout, so that tests can watch a real start from outside.
#include <QObject>

#include <cstdio>

#include "gui_main.h"
#include "main_form.h"

int main(int argc, char** argv) {
    return shell::runGui(argc, argv, [](shell::MainForm& form) {
        QObject::connect(&form, &shell::MainForm::openFileRequested, [](const QString& path) {
            std::printf("open %s\n", path.toUtf8().constData());
            std::fflush(stdout);
        });
        std::printf("ready\n");
        std::fflush(stdout);
    });
}
