#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString installQtTranslations(platform::LANGID language) {
    QString name = QString::fromStdString(platform::posixName(language));
    if (name.isEmpty() || name.startsWith(QLatin1String("en"))) return {};
    // Owned by the application object, so they go with it.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(name), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return {};
    }
    QCoreApplication::installTranslator(translator);
    return name;
}
