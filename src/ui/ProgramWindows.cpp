#include "ui/ProgramWindows.h"

#include <QAbstractEventDispatcher>

#include "ui/frmAbout.h"
#include "ui/frmAdvAttr.h"
#include "ui/frmAttributes.h"
#include "ui/frmClass.h"
#include "ui/frmReview.h"
#include "ui/frmTargetAttr.h"
#include "ui/frmTest.h"

namespace morvel {
namespace {

void Front(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

ProgramWindows::ProgramWindows(Registry& registry, ConfigTables& tables, FileExaminer& examiner,
                               ExampleStore& examples)
    : registry_(registry), tables_(tables), examiner_(examiner), examples_(examples) {
    // Remember stores the file's digest, by which a review of a folder knows it taught.
    examiner_.TakeFingerprints(true);
    // The event loops (the main one, and a modal window's, also one opened
    // while a classification run yields) block only between pieces of work.
    // Release keeps a write group or read snapshot that is under way.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        releaseWhenIdle_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                            [&registry] { registry.Release(); });
}

ProgramWindows::~ProgramWindows() {
    QObject::disconnect(releaseWhenIdle_);
    // A closed window is already on its way out (deleted later); a window
    // parented to the main window has gone with it (the pointer is null).
    delete attributes_.data();
    delete classification_.data();
    delete test_.data();
    delete advAttr_.data();
    delete targetAttr_.data();
    delete about_.data();
}

frmAttributes* ProgramWindows::Attributes() const {
    return attributes_ && !attributes_->Unloaded() ? attributes_.data() : nullptr;
}

frmReview* ProgramWindows::Review() const { return review_.data(); }

frmClass* ProgramWindows::Classification() const {
    return classification_ && !classification_->Unloaded() ? classification_.data() : nullptr;
}

frmTest* ProgramWindows::Test() const { return test_.data(); }
frmAdvAttr* ProgramWindows::AdvAttr() const { return advAttr_.data(); }
frmTargetAttr* ProgramWindows::TargetAttr() const { return targetAttr_.data(); }
frmAbout* ProgramWindows::About() const { return about_.data(); }

void ProgramWindows::ShowAttributes() {
    if (!Attributes()) attributes_ = new frmAttributes(registry_, tables_, examiner_);
    Front(*attributes_);
}

void ProgramWindows::UnloadAttributes() {
    if (frmAttributes* window = Attributes()) window->close();
    attributes_.clear();
}

void ProgramWindows::ReloadAttributes() {
    if (frmAttributes* window = Attributes()) return window->Form_Load();
    attributes_ = new frmAttributes(registry_, tables_, examiner_);
}

void ProgramWindows::RefreshAttributes() {
    if (frmAttributes* window = Attributes()) window->ShowNewVector();
}

void ProgramWindows::ShowClassification() {
    if (!Classification()) {
        classification_ = new frmClass(registry_, tables_, examiner_, examples_);
        QObject::connect(classification_, &frmClass::Remembered, [this] {
            if (frmReview* review = Review()) review->Rank();
        });
    }
    Front(*classification_);
}

frmReview* ProgramWindows::ShowReview(QWidget* owner) {
    if (!Review()) review_ = new frmReview(registry_, tables_, owner);
    Front(*review_);
    return review_;
}

void ProgramWindows::ShowTest() {
    if (!test_) test_ = new frmTest(registry_, tables_);
    Front(*test_);
}

bool ProgramWindows::ShowAdvAttr(QWidget* owner) {
    if (!advAttr_) advAttr_ = new frmAdvAttr(registry_, tables_, owner);
    const auto before = SequenceList(tables_);
    return advAttr_->ShowModal() && SequenceList(tables_) != before;
}

void ProgramWindows::ShowTargetAttr(QWidget* owner) {
    if (!targetAttr_) targetAttr_ = new frmTargetAttr(registry_, tables_, owner);
    targetAttr_->ShowModal();
}

frmAbout& ProgramWindows::AboutBox(QWidget* owner) {
    if (!about_) about_ = new frmAbout(registry_, owner);
    return *about_;
}

void ProgramWindows::ShowAbout(QWidget* owner) { Front(AboutBox(owner)); }

void ProgramWindows::StartSysInfo(QWidget* owner) { AboutBox(owner).StartSysInfo(); }

}  // namespace morvel
