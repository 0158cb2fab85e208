#include "shell/QtFileWindows.h"

#include "attributes/frmAttributes.h"
#include "attributes/frmTest.h"
#include "classify/frmClass.h"

namespace morvel {
namespace {

void Front(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

QtFileWindows::QtFileWindows(Registry& registry, modMain& state, FileExaminer& examiner, modClass& classes)
    : registry_(registry), state_(state), examiner_(examiner), classes_(classes) {}

QtFileWindows::~QtFileWindows() {
    // A closed window is already on its way out (deleted later).
    delete attributes_.data();
    delete classification_.data();
    delete test_.data();
}

void QtFileWindows::Connect(frmMain::Windows& windows) {
    windows.showAttributes = [this] { ShowAttributes(); };
    windows.unloadAttributes = [this] { UnloadAttributes(); };
    windows.reloadAttributes = [this] { ReloadAttributes(); };
    windows.showClassification = [this] { ShowClassification(); };
}

frmAttributes* QtFileWindows::Attributes() const {
    return attributes_ && !attributes_->Unloaded() ? attributes_.data() : nullptr;
}

frmClass* QtFileWindows::Classification() const {
    return classification_ && !classification_->Unloaded() ? classification_.data() : nullptr;
}

frmTest* QtFileWindows::Test() const { return test_.data(); }

void QtFileWindows::ShowAttributes() {
    if (!Attributes()) attributes_ = new frmAttributes(registry_, state_, examiner_);
    Front(*attributes_);
}

void QtFileWindows::UnloadAttributes() {
    if (frmAttributes* window = Attributes()) window->close();
    attributes_.clear();
}

void QtFileWindows::ReloadAttributes() {
    if (frmAttributes* window = Attributes()) return window->Form_Load();
    attributes_ = new frmAttributes(registry_, state_, examiner_);
}

void QtFileWindows::ShowClassification() {
    if (!Classification()) classification_ = new frmClass(registry_, state_, examiner_, classes_);
    Front(*classification_);
}

void QtFileWindows::ShowTest() {
    if (!test_) test_ = new frmTest(state_, examiner_);
    Front(*test_);
}

}  // namespace morvel
