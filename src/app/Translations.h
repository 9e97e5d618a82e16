#pragma once

#include <QList>
#include <QLocale>
#include <QString>

#include <memory>
#include <vector>

class QTranslator;

/** The languages the program speaks: English, in which its texts are written, then each translation it ships. */
QList<QLocale::Language> shippedLanguages();

/**
 * The program's texts and Qt's own in the user's language, installed in the
 * application for as long as this object lives. English is the source and
 * needs no file; a language without files stays English.
 */
class Translations {
public:
    /**
     * Loads the translations for `locale`: ours from
     * `<programFolder>/translations/chronopurge_<language>.qm`, Qt's own
     * (standard dialogs and their buttons) from Qt's translations folder.
     */
    Translations(const QLocale& locale, const QString& programFolder);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    /** True when our own texts were found in the locale's language. */
    bool hasOwnTexts() const { return m_ownTexts; }

private:
    std::vector<std::unique_ptr<QTranslator>> m_installed;
    bool m_ownTexts = false;
};
