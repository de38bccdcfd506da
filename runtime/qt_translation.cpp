#include "runtime/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

namespace cipherloom {

bool InstallQtTranslation(QTranslator& translator)
{
    const QString beside = QCoreApplication::applicationDirPath();
    const QStringList folders{
        // The Windows program carries them inside itself.
        QStringLiteral(":/translations"),
        beside + QStringLiteral("/translations"),
        // An app bundle keeps its data in Resources, beside the MacOS folder.
        beside + QStringLiteral("/../Resources/translations"),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
    };
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    for (const QString& folder : folders) {
        if (translator.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            return QCoreApplication::installTranslator(&translator);
        }
    }
    return false;
}

} // namespace cipherloom
