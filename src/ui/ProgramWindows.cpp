#include "ui/ProgramWindows.h"

#include "ui/frmAttributes.h"
#include "ui/frmTest.h"
#include "ui/frmClass.h"

namespace morvel {
namespace {

void Front(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

ProgramWindows::ProgramWindows(Registry& registry, modMain& state, FileExaminer& examiner, modClass& classes)
    : registry_(registry), state_(state), examiner_(examiner), classes_(classes) {}

ProgramWindows::~ProgramWindows() {
    // A closed window is already on its way out (deleted later).
    delete attributes_.data();
    delete classification_.data();
    delete test_.data();
}

void ProgramWindows::Connect(frmMain::Windows& windows) {
    windows.showAttributes = [this] { ShowAttributes(); };
    windows.unloadAttributes = [this] { UnloadAttributes(); };
    windows.reloadAttributes = [this] { ReloadAttributes(); };
    windows.showClassification = [this] { ShowClassification(); };
}

frmAttributes* ProgramWindows::Attributes() const {
    return attributes_ && !attributes_->Unloaded() ? attributes_.data() : nullptr;
}

frmClass* ProgramWindows::Classification() const {
    return classification_ && !classification_->Unloaded() ? classification_.data() : nullptr;
}

frmTest* ProgramWindows::Test() const { return test_.data(); }

void ProgramWindows::ShowAttributes() {
    if (!Attributes()) attributes_ = new frmAttributes(registry_, state_, examiner_);
    Front(*attributes_);
}

void ProgramWindows::UnloadAttributes() {
    if (frmAttributes* window = Attributes()) window->close();
    attributes_.clear();
}

void ProgramWindows::ReloadAttributes() {
    if (frmAttributes* window = Attributes()) return window->Form_Load();
    attributes_ = new frmAttributes(registry_, state_, examiner_);
}

void ProgramWindows::ShowClassification() {
    if (!Classification()) classification_ = new frmClass(registry_, state_, examiner_, classes_);
    Front(*classification_);
}

void ProgramWindows::ShowTest() {
    if (!test_) test_ = new frmTest(state_, examiner_);
    Front(*test_);
}

}  // namespace morvel
