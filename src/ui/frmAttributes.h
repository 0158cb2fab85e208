// frmAttributes: the attributes window. Shows the file under examination in
// readable form (full name, size, platform, modification date, system flag,
// the search sequences found or not found in its contents, and the header
// attributes while they are on) and searches the examined contents for any
// text.
//
// Used on the user-interface thread. The window is deleted when it closes;
// whoever shows it keeps one instance at a time. What it shows is read when
// it loads (Form_Load) from the state and the examiner it is given, which
// outlive it and which it never changes. Its two options, the list shown and
// the list's look, are numbers under the base key, saved by Close (the button
// or Esc) only.
#pragma once

#include <QDialog>
#include <array>

#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace morvel {

class PathBox;

class frmAttributes : public QDialog {
    Q_OBJECT

  public:
    // Builds the window and loads it (Form_Load); it is not shown.
    frmAttributes(Registry& registry, const ConfigTables& state, const FileExaminer& examiner,
                  QWidget* parent = nullptr);

    // Reads the captions and the file's attributes again, as when the window
    // loaded (after the interface language changed).
    void Form_Load();

    // Reads the file's attributes again (after the sequence table changed),
    // keeping the list and the look the user chose in the window, saved or not.
    void ShowNewVector();

    // True once the window has been closed; it is deleted soon after and must
    // not be shown again.
    bool Unloaded() const { return unloaded_; }

    // Event handlers.
    void Option1_Click(int Index);
    void Check6_Click();
    void txtFind_Change();
    // Enter (13) searches; other keys pass. Returns whether the key was taken.
    bool txtFind_KeyPress(int KeyAscii);
    void cmdFind_Click();
    // Close: saves the two options in one write group and closes the window.
    // When the store refuses the write, says so and stays open.
    void Command1_Click();

  protected:
    // The title bar's close box closes without saving.
    void closeEvent(QCloseEvent* event) override;
    // Esc is Close.
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void SetDesignedCaptions();
    void FillList(int Index);
    void SetLabel(QLabel* label, const QString& text);
    void FitCaptions();
    void FillHeaderList();

    Registry& registry_;
    const ConfigTables& state_;
    const FileExaminer& examiner_;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    // The full name after Label1's caption: a long path is elided, never cut off.
    PathBox* txtFullName = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QGroupBox* Frame2 = nullptr;
    std::array<QRadioButton*, 2> Option1{};
    QListWidget* List1 = nullptr;
    // The header attributes, shown while the store's setting has them on.
    QGroupBox* Frame3 = nullptr;
    QListWidget* List2 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* Check6 = nullptr;
    QLineEdit* txtFind = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* Command1 = nullptr;

    bool unloaded_ = false;
};

}  // namespace morvel
