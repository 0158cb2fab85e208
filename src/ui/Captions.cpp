#include "ui/Captions.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>

#include "core/store/KeyPaths.h"

namespace morvel {

QString Caption(const QObject* object) {
    if (auto* menu = qobject_cast<const QMenu*>(object)) return menu->title();
    if (auto* action = qobject_cast<const QAction*>(object)) return action->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(object)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(object)) return label->text();
    if (auto* frame = qobject_cast<const QGroupBox*>(object)) return frame->title();
    if (auto* widget = qobject_cast<const QWidget*>(object); widget && widget->isWindow())
        return widget->windowTitle();
    return QString();
}

void SetCaption(QObject* object, const QString& text) {
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
        label->adjustSize();
    } else if (auto* frame = qobject_cast<QGroupBox*>(object)) {
        frame->setTitle(text);
    } else if (auto* widget = qobject_cast<QWidget*>(object); widget && widget->isWindow()) {
        widget->setWindowTitle(text);
    }
}

bool ApplyCaption(const Registry& registry, QObject* object, std::string_view valueName) {
    std::string text;
    if (!registry.GetKeyText(InterfaceKeyPath(), valueName, text)) return false;
    SetCaption(object, QString::fromStdString(text));
    return true;
}

bool ApplyMenuCaption(const Registry& registry, QObject* menu) {
    return ApplyCaption(registry, menu, menu->objectName().toStdString());
}

}  // namespace morvel
