// PathBox: a one-line, read-only view of a file's path for a form. A path
// wider than the box is shown elided in the middle, so that both its start
// and the file's name stay in sight; the whole path shows on hover (tool tip)
// and while the box has the focus, where it can be selected and copied.
//
// Used on the user-interface thread, created with its parent.
#pragma once

#include <QLineEdit>
#include <QString>

namespace morvel {

class PathBox : public QLineEdit {
    Q_OBJECT

  public:
    explicit PathBox(QWidget* parent);

    void SetPath(const QString& path);
    const QString& Path() const { return path_; }

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Shows the whole path while focused, else the path elided to the width.
    void ShowPath();

    QString path_;
};

}  // namespace morvel
