#pragma once

// Small pieces every window of the program shares: the one conversion between the file system's names and
// the texts the widgets show, and the busy cursor.

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace viewer {

// Paths stay bytes from the file system to the engine and back, so that names which are not valid UTF-8
// still open, list and save; only the widgets see them as text.
inline std::string pathBytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

inline std::filesystem::path toPath(const QString& text) {
    return std::filesystem::path(pathBytes(text));
}

inline QString pathText(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

inline QString fromPath(const std::filesystem::path& path) {
    return pathText(path.native());
}

// The hourglass for as long as the object lives, also when the work in between throws.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace viewer
