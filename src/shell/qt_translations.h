#pragma once

// The toolkit's own texts (the buttons of message boxes, the file and folder dialogs) in the language the
// flags select. Each language file names its locale under the key "Locale"; a locale the toolkit has no
// translation for, or none at all, leaves those texts in English.

#include <QString>

#include <memory>

class QTranslator;

namespace shell {

class QtTranslations {
public:
    QtTranslations();
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    // Replaces the installed translation by the one for `locale` ("fr", "de_CH"); true when one was found.
    bool apply(const QString& locale);
    // The locale whose translation is installed; empty for English.
    QString installed() const { return m_installed; }

    // Where the toolkit's translation files are looked for: the toolkit's own folder, then a "translations"
    // folder beside the language files (for a copy carried to a system without them).
    static QStringList folders(const QString& dataFolder);
    void setDataFolder(const QString& dataFolder) { m_dataFolder = dataFolder; }

private:
    std::unique_ptr<QTranslator> m_translator;
    QString m_installed;
    QString m_dataFolder;
};

}  // namespace shell
