#include <QApplication>

int runProgressBarMathTests(int argc, char** argv);
int runProgressBarTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int failures = runProgressBarMathTests(argc, argv) + runProgressBarTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
