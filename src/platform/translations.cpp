#include "platform/translations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace platform {

bool installQtTranslations()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // qt_ja is the catalogue that pulls in the modules' files (qtbase_ja, ...); where a
    // distribution ships only the module files, qtbase_ja holds the dialogs' texts. Only a
    // regular file is read, so a stray FIFO or device of that name cannot stall start-up.
    for (const char *name : {"qt_ja", "qtbase_ja"}) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QLatin1String(".qm");
        if (!QFileInfo(path).isFile())
            continue;
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(path) && QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
    }
    return false;
}

} // namespace platform
