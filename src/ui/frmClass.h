// frmClass: the classification window. One row per target attribute: the
// target's name and an editable drop-down value box. When the window opens it
// predicts every target for the file under examination, one row after another
// (the same run as morvel-cli classify), and then lets the user correct the
// values and store the file as an example (Remember) or close it (Cancel).
//
// Used on the user-interface thread. The window is deleted when it closes;
// whoever shows it keeps one instance at a time. The registry, the tables,
// the examiner and the example store it is given outlive it.
//
// The window works on what was current when it opened: the file's vector,
// the attribute names and the target table are copied then. The run
// classifies that vector, and Remember stores that vector under those names
// with each row's value under its row's target, so that opening another file
// or editing the tables while the window is open never pairs one file's
// values with another file's attributes, or a value with another target. A
// target added since the opening has no row and is not read.
//
// The window keeps its designed size while the screen can show it; with more
// rows than the screen's height holds, the rows scroll above the buttons,
// which stay in sight.
//
// The run yields to the window system after showing each label, once per ID3
// step or Bayes class, and after each target. A window closed during a yield
// ends the run there; the run then touches nothing of the window.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"
#include "core/store/Registry.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;

namespace morvel {

class frmClass : public QDialog {
    Q_OBJECT

  public:
    // The longest text a value box accepts, as the store keeps at most this much.
    static constexpr int kMaxValueLength = 1024;

    // Builds the rows for the targets of state (Form_Load) and starts the
    // one-shot timer whose first tick runs the classification.
    frmClass(Registry& registry, const ConfigTables& tables, FileExaminer& examiner, ExampleStore& examples,
             QWidget* parent = nullptr);
    ~frmClass() override;

    // True once the window has been closed; it is deleted soon after and must
    // not be shown again.
    bool Unloaded() const { return unloaded_; }

    // Runs the classification, once per opening (the timer's tick).
    void Timer1_Timer();
    // Remember: stores the file as an example with the values of the boxes
    // and closes the window; when the store refuses the write, says so and
    // stays open with the values as they are.
    void Command3_Click();
    // Cancel: closes the window; nothing is stored.
    void Command4_Click();

  signals:
    // Remember stored the file as an example.
    void Remembered();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Esc.
    void reject() override;
    // F1 on a row's value box tells why its value came out.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class RowBox;

    void Form_Load();
    void Form_Resize();
    static int LargerOf(int a, int b) { return a >= b ? a : b; }

    Registry& registry_;
    FileExaminer& examiner_;
    ExampleStore& examples_;
    // What the window classifies and remembers, as it was when it opened.
    const ConfigTables tables_;
    const AttributeSlots vector_;
    const std::string fingerprint_;
    const bool fresh_;
    const std::uint64_t generation_;

    // Element 0 of each array is the hidden template; 1..N are the rows.
    std::vector<QLabel*> lblName;
    std::vector<QComboBox*> cmbValue;
    // The target each row was built for (1..N).
    std::vector<TargetEntry> rowTargets_;
    // Why each row's value came out (1..N), once its run is done.
    std::vector<QString> why_;
    // The rows' labels and boxes live in rowsArea_, which scrolls in rowsScroll_.
    QScrollArea* rowsScroll_ = nullptr;
    QWidget* rowsArea_ = nullptr;
    bool scrolling_ = false;
    QFrame* frmButtons = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QTimer* Timer1 = nullptr;

    // In twips.
    std::int32_t RowHeight = 0;
    std::int32_t LabelWidth = 0;

    bool runStarted_ = false;
    bool unloaded_ = false;
};

}  // namespace morvel
