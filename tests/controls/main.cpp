#include <QApplication>

int runProgressBarMathTests(int argc, char** argv);
int runProgressBarTests(int argc, char** argv);
int runPropertyBagTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    failures += runProgressBarMathTests(argc, argv);
    failures += runProgressBarTests(argc, argv);
    failures += runPropertyBagTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
