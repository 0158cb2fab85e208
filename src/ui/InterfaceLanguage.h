// The interface language beyond the "\Interface" texts: Qt's own texts (the
// open dialog, the standard buttons of message and input boxes) follow the
// language the store's texts are in. A language file names it with its
// "Locale" value ("en", "ru"); without one the texts are the built-in
// Russian ones.
//
// Used on the user-interface thread, once a QCoreApplication exists.
#pragma once

#include <QString>
#include <string_view>

#include "core/store/Registry.h"

namespace morvel {

// The "\Interface" value that names the language of the texts.
inline constexpr std::string_view kLocaleValue = "Locale";

// The locale the store's interface texts are in: its "Locale" value, or "ru".
QString InterfaceLocale(const Registry& registry);

// Installs Qt's translation of its own texts (qtbase_<locale>.qm from Qt's
// translations folder) for InterfaceLocale, in place of the one installed
// before. Returns false when there is no such file: Qt's texts are then its
// built-in English ones.
bool ApplyInterfaceLocale(const Registry& registry);

}  // namespace morvel
