#pragma once

// Shared by the window tests (viewer and shell): bitmaps written through the codecs, a program folder of
// their own, and file dialogs answered from lists instead of by a user.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "file_dialogs.h"
#include "image_model.h"
#include "image_tab.h"
#include "main_form.h"
#include "page_commands.h"
#include "program_settings.h"

namespace viewer_test {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 255;
};

template <class Bytes>
QByteArray toQByteArray(const Bytes& bytes) {
    return bytes ? QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size()))
                 : QByteArray();
}

// A Windows bitmap of 24 or 32 bits; pixel(x, y) counts y from the top row.
inline QByteArray bitmapBytes(int width, int height, int bitDepth,
                              const std::function<Rgba(int, int)>& pixel) {
    imaging::ImageModel model;
    model.Width = width;
    model.Height = height;
    model.RlAlphaFlag = bitDepth == 32 ? 1 : 0;
    for (int y = 0; y < height; ++y) {  // the writer emits the last row of the array first
        for (int x = 0; x < width; ++x) {
            const Rgba p = pixel(x, y);
            model.Pixels.push_back({p.r | (p.g << 8) | (p.b << 16), p.a});
        }
    }
    return toQByteArray(imaging::encodeBitmap(model));
}

// The 32-bit bitmap of an image's pixels, alpha kept.
inline QByteArray bitmapOf(const QImage& image) {
    return bitmapBytes(image.width(), image.height(), 32, [&](int x, int y) {
        const QColor c = QColor::fromRgba(image.pixel(x, y));
        return Rgba{c.red(), c.green(), c.blue(), c.alpha()};
    });
}

// One row of `count` opaque pixels, each a different 5-6-5 colour.
inline QByteArray bitmapWithCombinations(int count) {
    return bitmapBytes(count, 1, 24, [](int x, int) { return Rgba{(x & 31) << 3, (x >> 5) << 2, 0}; });
}

inline QByteArray compressed(const QByteArray& bitmap) {
    imaging::ImageModel model;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(bitmap.constData());
    return imaging::decodeBitmap({bytes, std::size_t(bitmap.size())}, model)
               ? toQByteArray(imaging::encodeCompressed(model))
               : QByteArray();
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

// Language files and flags copied from `data`, and a settings file when a stored language is wanted.
inline bool fillProgramFolder(const QTemporaryDir& home, const QString& data, const QStringList& names,
                              const QByteArray& language = {}) {
    for (const QString& name : names) {
        if (!QFile::copy(QDir(data).filePath(name), home.filePath(name))) {
            return false;
        }
    }
    return language.isEmpty() || writeFile(home.filePath(QStringLiteral("TarvikBMP.ini")),
                                           "[GENERAL]\r\nLanguage=" + language + "\r\n");
}

inline QString setting(const QTemporaryDir& home, const char* key) {
    return QString::fromStdString(settings::readSetting(home.path().toStdString(), key, ""));
}

// Each dialog takes the next prepared answer; with none left it behaves as if cancelled.
class FakeFileDialogs : public viewer::FileDialogs {
public:
    struct Call {
        QString title, start;
        QStringList filters;
    };
    QStringList openAnswers, folderAnswers, overwriteQuestions, failures;  // failures: path, then reason
    QList<SaveChoice> saveAnswers;
    QList<bool> overwriteAnswers;
    QList<Call> calls;

    QString openFileName(QWidget*, const QString& title, const QString& folder,
                         const QStringList& f) override {
        calls.append({title, folder, f});
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    SaveChoice saveFileName(QWidget*, const QString& title, const QString& start,
                            const QStringList& f) override {
        calls.append({title, start, f});
        return saveAnswers.isEmpty() ? SaveChoice{} : saveAnswers.takeFirst();
    }
    bool confirmOverwrite(QWidget*, const QString& path) override {
        overwriteQuestions << path;
        return !overwriteAnswers.isEmpty() && overwriteAnswers.takeFirst();
    }
    QString existingFolder(QWidget*, const QString& title, const QString& start) override {
        calls.append({title, start, {}});
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    void reportWriteFailure(QWidget*, const QString&, const QString& path, const QString& reason) override {
        failures << path << reason;
    }
    void reportFailure(QWidget*, const QString&, const QString& message) override { messages << message; }
    QStringList messages;
};

// The main window with its commands, shown, in a program folder of its own with the French language file.
struct TestWindow {
    QTemporaryDir home, files;
    bool filled = fillProgramFolder(home, TARVIK_TEST_LANGUAGE_DATA, {"French.lng", "French_flag.gif"});
    std::shared_ptr<FakeFileDialogs> dialogs = std::make_shared<FakeFileDialogs>();
    shell::MainForm form{home.path()};
    shell::PageCommands* commands = shell::PageCommands::attach(form, dialogs);

    TestWindow() { form.show(); }
    QString file(const QString& name) const { return files.filePath(name); }
};

// The image tab of a fresh TestWindow, driven as a user would; the window test classes derive from it.
struct ImageTabDriver {
    std::unique_ptr<TestWindow> w;
    viewer::ImageTab* m_tab = nullptr;

    bool startWindow() {
        w = std::make_unique<TestWindow>();
        m_tab = w->commands->imageTab();
        return w->filled;
    }
    const shell::ImagePageControls& c() const { return w->form.imagePage(); }
    QString file(const QString& name) const { return w->file(name); }
    // Opens through "..."; remembered preview options may start work on the image as the RL file shows it.
    void open(const QString& path) {
        w->dialogs->openAnswers << path;
        QTest::mouseClick(c().CmdOuvrirBMP, Qt::LeftButton);
        if (!QTest::qWaitFor([this] { return !m_tab->shownImagePending(); }, 60000)) {
            QTest::qFail("the image as the RL file shows it never arrived", __FILE__, __LINE__);
        }
    }
    QString open(const QString& name, const QByteArray& bytes) {
        const QString path = file(name);
        open(writeFile(path, bytes) ? path : QString());
        return path;
    }
    void click(QPushButton* button, const QString& answer) {  // a save button, its dialog answered
        w->dialogs->saveAnswers << FakeFileDialogs::SaveChoice{answer, 1};
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QImage picture(int mode) const {
        return m_tab->preview()->image(viewer::DisplayMode(mode)).convertToFormat(QImage::Format_RGB32);
    }
    QList<QImage> pictures() const { return {picture(0), picture(1), picture(2)}; }
};

}  // namespace viewer_test
