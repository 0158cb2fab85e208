#include "ui/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "core/store/KeyPaths.h"

namespace morvel {

QString InterfaceLocale(const Registry& registry) {
    std::string locale;
    if (registry.GetKeyText(InterfaceKeyPath(), kLocaleValue, locale) && !locale.empty())
        return QString::fromStdString(locale);
    return "ru";
}

bool ApplyInterfaceLocale(const Registry& registry) {
    // Dates, sizes and sorting in Qt's dialogs follow the language too.
    QLocale::setDefault(QLocale(InterfaceLocale(registry)));
    static std::unique_ptr<QTranslator> installed;
    if (installed) QCoreApplication::removeTranslator(installed.get());
    installed = std::make_unique<QTranslator>();
    const bool loaded = installed->load("qtbase_" + InterfaceLocale(registry),
                                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded) QCoreApplication::installTranslator(installed.get());
    return loaded;
}

}  // namespace morvel
