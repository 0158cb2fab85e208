#include "ui/PathBox.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace morvel {

PathBox::PathBox(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFrame(false);
    // Taken by a click, to select and copy; never the first focus of its
    // window, which would show the path's end instead of its elided whole.
    setFocusPolicy(Qt::ClickFocus);
    // Reads as the text of the form it stands on, not as a box to type in.
    QPalette look = palette();
    look.setColor(QPalette::Base, look.color(QPalette::Window));
    setPalette(look);
}

void PathBox::SetPath(const QString& path) {
    path_ = path;
    setToolTip(path);
    ShowPath();
}

void PathBox::focusInEvent(QFocusEvent* event) {
    ShowPath();
    QLineEdit::focusInEvent(event);
}

void PathBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    ShowPath();
}

void PathBox::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    ShowPath();
}

void PathBox::ShowPath() {
    if (hasFocus()) {
        if (text() != path_) setText(path_);
        return;
    }
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).width() - 4;
    setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, std::max(room, 0)));
    setCursorPosition(0);
}

}  // namespace morvel
