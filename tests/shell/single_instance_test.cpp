#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "single_instance.h"

// Starts the probe (the window as the program runs it, reporting on stdout) with its own program and
// runtime folders; an empty `home` starts it with no display at all.
std::unique_ptr<QProcess> start(const QString& home, const QString& runtime,
                                const QStringList& arguments = {}, const QString& workingFolder = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(name));
    }
    if (!home.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TARVIKBMP_HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workingFolder);
    process->start(QStringLiteral(SHELL_PROBE), arguments);
    return process;
}

// The first line of the probe's output that starts with `prefix`, or "" once it has ended or 20 s passed.
QString waitForLine(QProcess& process, const QString& prefix) {
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired(); process.waitForReadyRead(100)) {
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            if (line.startsWith(prefix)) {
                return line;
            }
        }
        if (process.state() == QProcess::NotRunning) {
            break;
        }
    }
    return {};
}

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void withoutADisplayItPointsToTheCommandLine() {
        const auto probe = start({}, {});
        QVERIFY(probe->waitForFinished(20000));
        QCOMPARE(probe->exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe->exitCode(), 1);
        const QString message = QString::fromUtf8(probe->readAllStandardError());
        QCOMPARE(message.count(QLatin1Char('\n')), 1);
        QVERIFY2(message.contains(QLatin1String("tarvikbmp --help")), qPrintable(message));
        QVERIFY(probe->readAllStandardOutput().isEmpty());
    }

    void aSecondStartHandsItsFileOverAndLeaves() {
        QTemporaryDir home, otherHome, runtime;
        const auto first = start(home.path(), runtime.path(), {QStringLiteral("/images/a.rl")});
        QCOMPARE(waitForLine(*first, QStringLiteral("open")), QStringLiteral("open /images/a.rl"));

        // A relative path is made absolute by the start that received it.
        const auto second = start(home.path(), runtime.path(), {QStringLiteral("picture.bmp")}, home.path());
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(!second->readAllStandardOutput().contains("ready"));
        QCOMPARE(waitForLine(*first, QStringLiteral("open")),
                 QStringLiteral("open ") + home.filePath("picture.bmp"));
        QCOMPARE(first->state(), QProcess::Running);

        // A copy with another program folder is a program of its own.
        const auto other = start(otherHome.path(), runtime.path());
        QCOMPARE(waitForLine(*other, QStringLiteral("ready")), QStringLiteral("ready"));

        // Once the first one is gone, even killed without clean-up, the next start runs the window again.
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        const auto third = start(home.path(), runtime.path());
        QCOMPARE(waitForLine(*third, QStringLiteral("ready")), QStringLiteral("ready"));
        for (QProcess* process : {other.get(), third.get()}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    // An installed copy's settings folder appears with its first setting, possibly while a second start looks
    // for the first: the key is the same before and after, and through a link to the folder.
    void theKeyIsTheSettingsFolderWhetherItExistsYetOrNot() {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("config"))));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("config")), root.filePath(QStringLiteral("linked"))));
        const QString folder = root.filePath(QStringLiteral("config/tarvikbmp"));
        const QString before = shell::SingleInstance(root.filePath(QStringLiteral("linked/tarvikbmp"))).serverName();
        QCOMPARE(shell::SingleInstance(folder).serverName(), before);
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(shell::SingleInstance(folder).serverName(), before);
        QCOMPARE(shell::SingleInstance(root.filePath(QStringLiteral("linked/tarvikbmp"))).serverName(), before);
        QVERIFY(shell::SingleInstance(root.filePath(QStringLiteral("config/other"))).serverName() != before);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
