// Caption loading: replacing the built-in caption of a window, menu or control
// with the text that the "\Interface" key of the store holds for it.
//
// A caption is the window title of a window, the title of a menu or frame, and
// the text of a menu item, button, option button, check box or label. Used on
// the user-interface thread.
#pragma once

#include <QString>
#include <string_view>

#include "core/store/Registry.h"

class QObject;

namespace morvel {

// The caption of object (empty for an object that has none).
QString Caption(const QObject* object);
// Sets the caption of object; a label is resized to its new text.
void SetCaption(QObject* object, const QString& text);

// Reads the text valueName from the "\Interface" key. When found, the
// object's caption becomes that text (an empty text blanks it); otherwise the
// caption stays as it was. Returns whether the text was found.
bool ApplyCaption(const Registry& registry, QObject* object, std::string_view valueName);

// ApplyCaption with the menu's own name (its objectName) as the value name.
bool ApplyMenuCaption(const Registry& registry, QObject* menu);

}  // namespace morvel
