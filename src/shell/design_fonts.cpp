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
        // Only the regular face: the bold stand-in file beside it pairs regular-weight outlines with the
        // wide advances of a real bold face, so every glyph gets a gap after it ("/" is 0.58 em wide for
        // 0.33 em of ink, and paths read "/ tmp/ icons"). The bold captions are emboldened from the
        // regular face instead, which keeps its advances.
        const QString path = QDir(folder).filePath(QStringLiteral("tahoma.ttf"));
        if (!QFileInfo::exists(path)) {
            continue;
        }
        const int id = QFontDatabase::addApplicationFont(path);
        if (id >= 0) {
            registered += QFontDatabase::applicationFontFamilies(id);
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
