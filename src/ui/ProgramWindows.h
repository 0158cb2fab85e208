// ProgramWindows: the owner of the program's windows other than the main
// window: the attributes, classification and test windows, the two
// configuration editors and the About box. Each is one program-wide instance
// created on first use; the main window opens them through this object.
//
// Built before the main window, from the program-wide objects, which outlive
// it. Used on the user-interface thread. Windows that are still open when it
// goes are deleted with it. The operations are virtual so that a test of the
// main window can see which it asks for.
//
// While it lives, the windows hold the store's connection only while they
// work: whenever the program is about to wait for the user, the connection
// is released (Registry::Release) and the next piece of work opens it again.
// A connection held over the user's think time could lose its file locks to
// anything else in the process that opens and closes a store file; another
// program would then delete the log under it, and the windows' later writes
// and their final checkpoint would go astray or overwrite newer data.
#pragma once

#include <QObject>
#include <QPointer>

#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"
#include "core/store/Registry.h"

class QWidget;

namespace morvel {

class frmAbout;
class frmAdvAttr;
class frmAttributes;
class frmClass;
class frmReview;
class frmTargetAttr;
class frmTest;

class ProgramWindows {
  public:
    ProgramWindows(Registry& registry, ConfigTables& tables, FileExaminer& examiner, ExampleStore& examples);
    virtual ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Shows the attributes window, loading it first when it is not loaded.
    virtual void ShowAttributes();
    // Closes the attributes window if it is loaded, without saving its options.
    virtual void UnloadAttributes();
    // Loads the attributes window again: its texts follow a new language and
    // its lines the current vector. Loads it without showing it when it was
    // not loaded.
    virtual void ReloadAttributes();
    // Shows the current vector in the attributes window when it is loaded,
    // keeping the choices made in it; nothing otherwise.
    virtual void RefreshAttributes();
    // Opens the classification window, which then runs; while it is open,
    // only brings it to the front.
    virtual void ShowClassification();
    // Shows the review window over owner, loading it first when it is not
    // loaded; after each Remember of the classification window it ranks its
    // folder again. Returns the window (null when there is none to show).
    virtual frmReview* ShowReview(QWidget* owner);
    // Shows the test window, which examines with an examiner of its own.
    virtual void ShowTest();
    // The search-sequence editor, modal over owner. True when OK stored a
    // sequence table that differs from the one before.
    virtual bool ShowAdvAttr(QWidget* owner);
    // The target attribute editor, modal over owner.
    virtual void ShowTargetAttr(QWidget* owner);
    // Shows the About box (not modal) over owner.
    virtual void ShowAbout(QWidget* owner);
    // Starts the system-information tool, or says why it cannot.
    virtual void StartSysInfo(QWidget* owner);

    // The windows while they are loaded, else null.
    frmAttributes* Attributes() const;
    frmClass* Classification() const;
    frmReview* Review() const;
    frmTest* Test() const;
    frmAdvAttr* AdvAttr() const;
    frmTargetAttr* TargetAttr() const;
    frmAbout* About() const;

  private:
    frmAbout& AboutBox(QWidget* owner);

    Registry& registry_;
    QMetaObject::Connection releaseWhenIdle_;
    ConfigTables& tables_;
    FileExaminer& examiner_;
    ExampleStore& examples_;
    QPointer<frmAttributes> attributes_;
    QPointer<frmClass> classification_;
    QPointer<frmReview> review_;
    QPointer<frmTest> test_;
    QPointer<frmAdvAttr> advAttr_;
    QPointer<frmTargetAttr> targetAttr_;
    QPointer<frmAbout> about_;
};

}  // namespace morvel
