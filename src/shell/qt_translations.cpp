#include "qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace shell {

QtTranslations::QtTranslations() = default;

QtTranslations::~QtTranslations() {
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
    }
}

QStringList QtTranslations::folders(const QString& dataFolder) {
    QStringList list{QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    if (!dataFolder.isEmpty()) {
        list << QDir(dataFolder).filePath(QStringLiteral("translations"));
    }
    return list;
}

bool QtTranslations::apply(const QString& locale) {
    const QString wanted = locale.trimmed();
    if (wanted == m_installed && (m_translator || wanted.isEmpty())) {
        return !wanted.isEmpty();
    }
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_translator.reset();
    }
    m_installed.clear();
    // A locale written by hand could hold anything; only a plain name such as fr or pt_BR is looked up, so a
    // language file cannot lead the toolkit to a file elsewhere.
    const bool plain = !wanted.isEmpty() && wanted.size() <= 16 &&
                       std::all_of(wanted.begin(), wanted.end(), [](QChar c) {
                           return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'-';
                       });
    if (!plain) {
        return false;
    }
    auto translator = std::make_unique<QTranslator>();
    for (const QString& folder : folders(m_dataFolder)) {
        // "qt_" pulls in qtbase's messages; QTranslator tries fr_CA, then fr, by itself.
        if (translator->load(QLocale(wanted), QStringLiteral("qt"), QStringLiteral("_"), folder) ||
            translator->load(QLocale(wanted), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator.get());
            m_translator = std::move(translator);
            m_installed = wanted;
            return true;
        }
    }
    return false;
}

}  // namespace shell
