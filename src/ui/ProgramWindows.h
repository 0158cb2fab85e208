// ProgramWindows: the windows that show the file under examination (the
// attributes window and the classification window) and the test window, each
// one program-wide instance created on first use. It gives the main window
// the operations that open and close them.
//
// Used on the user-interface thread. The registry, the state, the examiner and
// the classification state outlive it; the windows it created and that are
// still open are deleted with it.
#pragma once

#include <QPointer>

#include "core/attributes/FileExaminer.h"
#include "core/classify/modClass.h"
#include "ui/frmMain.h"
#include "core/store/Registry.h"
#include "core/store/modMain.h"

namespace morvel {

class frmAttributes;
class frmClass;
class frmTest;

class ProgramWindows {
  public:
    ProgramWindows(Registry& registry, modMain& state, FileExaminer& examiner, modClass& classes);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Sets the attributes and classification operations of windows.
    void Connect(frmMain::Windows& windows);

    // Shows the attributes window, loading it first when it is not loaded.
    void ShowAttributes();
    // Closes the attributes window if it is loaded, without saving its options.
    void UnloadAttributes();
    // Loads the attributes window again (its texts follow a new language);
    // loads it without showing it when it was not loaded.
    void ReloadAttributes();
    // Opens the classification window, which then runs; while it is open,
    // only brings it to the front.
    void ShowClassification();
    // Shows the test window.
    void ShowTest();

    // The windows while they are loaded, else null.
    frmAttributes* Attributes() const;
    frmClass* Classification() const;
    frmTest* Test() const;

  private:
    Registry& registry_;
    modMain& state_;
    FileExaminer& examiner_;
    modClass& classes_;
    QPointer<frmAttributes> attributes_;
    QPointer<frmClass> classification_;
    QPointer<frmTest> test_;
};

}  // namespace morvel
