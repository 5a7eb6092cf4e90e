#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "test_home.h"

namespace {

constexpr int StartTimeoutMs = 20000;

QProcessEnvironment probeEnvironment(const QString& home, const QString& runtime) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TARVIKBMP_HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return env;
}

// Reads the probe's stdout until a line starting with `prefix` arrives; returns that line.
QString waitForLine(QProcess& process, const QString& prefix, int timeoutMs = StartTimeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            if (line.startsWith(prefix)) {
                return line;
            }
        }
        if (process.state() == QProcess::NotRunning) {
            return {};
        }
        process.waitForReadyRead(100);
    }
    return {};
}

void stop(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void withoutADisplayItPointsToTheCommandLine() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral(SHELL_PROBE), {});
        QVERIFY(probe.waitForFinished(StartTimeoutMs));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 1);
        const QString message = QString::fromUtf8(probe.readAllStandardError());
        QCOMPARE(message.count(QLatin1Char('\n')), 1);
        QVERIFY2(message.contains(QLatin1String("tarvikbmp --help")), qPrintable(message));
        QVERIFY(probe.readAllStandardOutput().isEmpty());
    }

    void aSecondStartHandsItsFileOverAndLeaves() {
        QTemporaryDir home;
        QTemporaryDir runtime;
        QVERIFY(fillTestHome(home, bothLanguages()));
        const QProcessEnvironment env = probeEnvironment(home.path(), runtime.path());

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(SHELL_PROBE), {});
        QCOMPARE(waitForLine(first, QStringLiteral("ready")), QStringLiteral("ready"));

        // A relative path is made absolute by the start that received it.
        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(home.path());
        second.start(QStringLiteral(SHELL_PROBE), {QStringLiteral("picture.bmp")});
        QVERIFY(second.waitForFinished(StartTimeoutMs));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!second.readAllStandardOutput().contains("ready"));
        QCOMPARE(waitForLine(first, QStringLiteral("open")),
                 QStringLiteral("open ") + QDir(home.path()).filePath(QStringLiteral("picture.bmp")));
        QCOMPARE(first.state(), QProcess::Running);

        // A copy with another program folder is a program of its own.
        QTemporaryDir otherHome;
        QProcess other;
        other.setProcessEnvironment(probeEnvironment(otherHome.path(), runtime.path()));
        other.start(QStringLiteral(SHELL_PROBE), {});
        QCOMPARE(waitForLine(other, QStringLiteral("ready")), QStringLiteral("ready"));
        stop(other);

        // Once the first one is gone, even killed without clean-up, the next start runs the window again.
        stop(first);
        QProcess third;
        third.setProcessEnvironment(env);
        third.start(QStringLiteral(SHELL_PROBE), {});
        QCOMPARE(waitForLine(third, QStringLiteral("ready")), QStringLiteral("ready"));
        stop(third);
    }

    void startFilesReachTheWindow() {
        QTemporaryDir home;
        QTemporaryDir runtime;
        QProcess probe;
        probe.setProcessEnvironment(probeEnvironment(home.path(), runtime.path()));
        probe.start(QStringLiteral(SHELL_PROBE), {QStringLiteral("/images/a.rl")});
        QCOMPARE(waitForLine(probe, QStringLiteral("open")), QStringLiteral("open /images/a.rl"));
        stop(probe);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
