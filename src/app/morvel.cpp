// morvel: the desktop program. Builds the program-wide objects, runs the
// start-up on the file named by the command line and shows the main window.
#include <QApplication>
#include <QPointer>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/classify/modClass.h"
#include "ui/frmAdvAttr.h"
#include "ui/frmTargetAttr.h"
#include "ui/toolkit.h"
#include "ui/ProgramWindows.h"
#include "core/store/StartUp.h"
#include "ui/frmMain.h"
#include "core/store/Registry.h"
#include "core/store/modMain.h"

int main(int argc, char** argv) {
    // The file's path exactly as given: taken before Qt removes the options it knows.
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // A desktop passes a full path; one typed in a terminal may be relative to
    // the current folder, and the examination needs the file's folder.
    if (const std::string given = morvel::JoinArguments(args); !given.empty() && given.front() != '/') {
        std::error_code ec;
        if (std::filesystem::is_regular_file(given, ec))
            args = {std::filesystem::absolute(given, ec).lexically_normal().string()};
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(morvel::toolkit::kProgramTitle);
    QApplication::setApplicationVersion(MORVEL_VERSION);
    QApplication::setWindowIcon(morvel::toolkit::ProgramIcon());

    morvel::Registry registry;
    if (morvel::Status opened = registry.Open(morvel::Registry::DefaultPath()); !opened)
        morvel::toolkit::ShowMessage(nullptr,
                                     QString::fromStdString(opened.message()) +
                                         "\n\nMorvel runs without its settings; nothing will be saved.");
    morvel::modMain state;
    morvel::FileExaminer examiner;
    morvel::StartUp(registry, state, examiner, args);

    // The attributes, classification and test windows.
    morvel::modClass classes;
    morvel::ProgramWindows fileWindows(registry, state, examiner, classes);
    morvel::frmMain::Windows windows;
    fileWindows.Connect(windows);
    // The configuration editors: one instance each, made on first use as
    // children of the main window (which deletes them), shown modally over it.
    QWidget* owner = nullptr;
    QPointer<morvel::frmAdvAttr> advAttr;
    QPointer<morvel::frmTargetAttr> targetAttr;
    windows.showAdvAttr = [&] {
        if (!advAttr) advAttr = new morvel::frmAdvAttr(registry, state, owner);
        return advAttr->ShowModal();
    };
    windows.showTargetAttr = [&] {
        if (!targetAttr) targetAttr = new morvel::frmTargetAttr(registry, state, owner);
        targetAttr->ShowModal();
    };

    morvel::frmMain window(registry, state, examiner, std::move(windows));
    owner = &window;
    window.show();
    // The diagnostic test window has no menu command.
    if (qEnvironmentVariable("MORVEL_TEST_WINDOW") == "1") fileWindows.ShowTest();
    return app.exec();
}
