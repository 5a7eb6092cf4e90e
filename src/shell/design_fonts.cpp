#include "design_fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

namespace shell {
namespace {

const QStringList& defaultFontFolders() {
    static const QStringList folders{QStringLiteral("/usr/share/wine/fonts"),
                                     QStringLiteral("/usr/share/fonts/truetype/wine"),
                                     QStringLiteral("/usr/share/fonts/wine")};
    return folders;
}

QFont designFont(const QString& family, qreal pointSize, bool bold) {
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace

QStringList loadDesignFonts(const QStringList& folders) {
    QStringList registered;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive)) {
        return registered;
    }
    const QStringList& searched = folders.isEmpty() ? defaultFontFolders() : folders;
    for (const QString& folder : searched) {
        bool found = false;
        for (const char* name : {"tahoma.ttf", "tahomabd.ttf"}) {
            const QString path = QDir(folder).filePath(QString::fromLatin1(name));
            if (!QFileInfo::exists(path)) {
                continue;
            }
            const int id = QFontDatabase::addApplicationFont(path);
            if (id >= 0) {
                registered += QFontDatabase::applicationFontFamilies(id);
                found = true;
            }
        }
        if (found) {
            break;
        }
    }
    registered.removeDuplicates();
    return registered;
}

QFont tahomaFont(qreal pointSize, bool bold) {
    return designFont(QStringLiteral("Tahoma"), pointSize, bold);
}

QFont arialFont(qreal pointSize, bool bold) {
    return designFont(QStringLiteral("Arial"), pointSize, bold);
}

}  // namespace shell
