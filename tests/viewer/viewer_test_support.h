#pragma once

// Shared by the window tests: bitmaps written through the codecs, a program folder of their own, and file
// dialogs answered from lists instead of by a user.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include "file_dialogs.h"
#include "image_model.h"
#include "program_settings.h"

namespace viewer_test {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 255;
};

// A Windows bitmap of 24 or 32 bits; pixel(x, y) counts y from the top row.
inline QByteArray bitmapBytes(int width, int height, int bitDepth,
                              const std::function<Rgba(int, int)>& pixel) {
    imaging::ImageModel model;
    model.Width = width;
    model.Height = height;
    model.RlAlphaFlag = bitDepth == 32 ? 1 : 0;
    // The writer emits the last row of the array first, so the array holds the top row first.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba p = pixel(x, y);
            model.Pixels.push_back({p.r | (p.g << 8) | (p.b << 16), p.a});
        }
    }
    const auto bytes = imaging::encodeBitmap(model);
    return bytes ? QByteArray(reinterpret_cast<const char*>(bytes->data()),
                              static_cast<qsizetype>(bytes->size()))
                 : QByteArray();
}

// One row of `count` opaque pixels, each a different 5-6-5 colour.
inline QByteArray bitmapWithCombinations(int count) {
    return bitmapBytes(count, 1, 24, [](int x, int) { return Rgba{(x & 31) << 3, (x >> 5) << 2, 0}; });
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The French language file and flag in a program folder of the test's own.
inline bool fillProgramFolder(const QTemporaryDir& home) {
    const QDir data(QStringLiteral(TARVIK_TEST_LANGUAGE_DATA));
    for (const QString& name : {QStringLiteral("French.lng"), QStringLiteral("French_flag.gif")}) {
        if (!QFile::copy(data.filePath(name), home.filePath(name))) {
            return false;
        }
    }
    return true;
}

inline QString setting(const QTemporaryDir& home, const char* key) {
    return QString::fromStdString(settings::readSetting(home.path().toStdString(), key, ""));
}

// Each dialog takes the next prepared answer; with none left it behaves as if cancelled.
class FakeFileDialogs : public viewer::FileDialogs {
public:
    struct Call {
        QString kind;  // "open", "save", "folder"
        QString title;
        QString start;
        QStringList filters;
    };
    QStringList openAnswers;
    QList<SaveChoice> saveAnswers;
    QList<bool> overwriteAnswers;
    QStringList folderAnswers;
    QList<Call> calls;
    QStringList overwriteQuestions;
    QStringList failures;  // path, then reason

    QString openFileName(QWidget*, const QString& title, const QString& folder,
                         const QStringList& nameFilters) override {
        calls.append({QStringLiteral("open"), title, folder, nameFilters});
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    SaveChoice saveFileName(QWidget*, const QString& title, const QString& startPath,
                            const QStringList& nameFilters) override {
        calls.append({QStringLiteral("save"), title, startPath, nameFilters});
        return saveAnswers.isEmpty() ? SaveChoice{} : saveAnswers.takeFirst();
    }
    bool confirmOverwrite(QWidget*, const QString& path) override {
        overwriteQuestions << path;
        return !overwriteAnswers.isEmpty() && overwriteAnswers.takeFirst();
    }
    QString existingFolder(QWidget*, const QString& title, const QString& startFolder) override {
        calls.append({QStringLiteral("folder"), title, startFolder, {}});
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    void reportWriteFailure(QWidget*, const QString&, const QString& path, const QString& reason) override {
        failures << path << reason;
    }
};

}  // namespace viewer_test
