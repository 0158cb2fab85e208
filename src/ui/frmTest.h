// frmTest: a diagnostic window for the attribute computation. The user types
// a file's path and presses Test; the window prints fifteen of the file's
// general attributes as labelled numbers.
//
// The window examines with an examiner of its own: what it tests never
// becomes the vector that the other windows show, classify and remember for
// the file the main window names. Used on the user-interface thread; the
// state outlives it.
#pragma once

#include <QDialog>
#include <QStringList>

#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace morvel {

class frmTest : public QDialog {
    Q_OBJECT

  public:
    frmTest(const Registry& registry, const ConfigTables& state, QWidget* parent = nullptr);

    // The printed lines, in order; empty when nothing was printed.
    const QStringList& PrintedLines() const { return lines_; }

    // Test: clears the output, examines the file named in the path box and,
    // when that succeeds, prints its attributes. A file that cannot be
    // examined leaves the output empty; one of the store's own files is
    // refused unopened, with a message.
    void Command1_Click();

  private:
    void Print(const QString& line);

    const Registry& registry_;
    const ConfigTables& state_;
    FileExaminer examiner_;
    QLabel* Label1 = nullptr;
    QLineEdit* txtFN = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* pctTest = nullptr;
    QStringList lines_;
};

}  // namespace morvel
