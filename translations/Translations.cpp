#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

bool installCatalogue(QCoreApplication &application, const QLocale &locale, const QString &name,
                      const QString &folder)
{
    auto *translator = new QTranslator(&application);
    if (!translator->load(locale, name, QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace

void Translations::Install(QCoreApplication &application)
{
    for (const QString &language : QLocale().uiLanguages()) {
        const QLocale locale(language);
        if (locale.language() == QLocale::English || locale.language() == QLocale::C)
            return;
        if (installCatalogue(application, locale, QStringLiteral("saltwick"),
                             QStringLiteral(":/i18n"))) {
            installCatalogue(application, locale, QStringLiteral("qtbase"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath));
            return;
        }
    }
}
