#include "app/Translations.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QList<QLocale::Language> shippedLanguages()
{
    QList<QLocale::Language> languages{QLocale::English};
    for (const QString& code : QString::fromLatin1(kTranslatedLanguages).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QLocale::Language language = QLocale::codeToLanguage(code);
        if (language != QLocale::AnyLanguage && !languages.contains(language))
            languages << language;
    }
    return languages;
}

Translations::Translations(const QLocale& locale, const QString& programFolder)
{
    const auto install = [&](const QString& name, const QString& folder) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(locale, name, QStringLiteral("_"), folder)
            || !QCoreApplication::installTranslator(translator.get()))
            return false;
        m_installed.push_back(std::move(translator));
        return true;
    };
    install(QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    m_ownTexts = install(QStringLiteral("chronopurge"), programFolder + QStringLiteral("/translations"));
}

Translations::~Translations()
{
    for (const std::unique_ptr<QTranslator>& translator : m_installed)
        QCoreApplication::removeTranslator(translator.get());
}
