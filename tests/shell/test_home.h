#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// A program folder of its own for each test: language files and flags copied from the test data, and a
// settings file when the test wants a stored language.
inline bool fillTestHome(const QTemporaryDir& home, const QStringList& files,
                         const QByteArray& storedLanguage = {}) {
    for (const QString& name : files) {
        if (!QFile::copy(QDir(QStringLiteral(SHELL_TEST_DATA)).filePath(name), home.filePath(name))) {
            return false;
        }
    }
    if (!storedLanguage.isEmpty()) {
        QFile ini(home.filePath(QStringLiteral("TarvikBMP.ini")));
        if (!ini.open(QIODevice::WriteOnly)) {
            return false;
        }
        ini.write("[GENERAL]\r\nLanguage=" + storedLanguage + "\r\n");
    }
    return true;
}

inline const QStringList& bothLanguages() {
    static const QStringList files{QStringLiteral("French.lng"), QStringLiteral("French_flag.gif"),
                                   QStringLiteral("English.lng"), QStringLiteral("English_flag.gif")};
    return files;
}
