// morvel: the desktop program. Builds the program-wide objects, runs the
// start-up on the file named by the command line and shows the main window.
#include <QApplication>
#include <filesystem>
#include <string>
#include <vector>

#include "app/StartUp.h"
#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"
#include "core/store/Registry.h"
#include "ui/InterfaceLanguage.h"
#include "ui/Messages.h"
#include "ui/ProgramStore.h"
#include "ui/ProgramWindows.h"
#include "ui/frmMain.h"
#include "ui/toolkit.h"

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
    // Qt's own texts in Russian until the store names the interface's language.
    morvel::ApplyInterfaceLocale(registry);
    if (!morvel::OpenProgramStore(registry, morvel::Registry::DefaultPath())) return 1;
    morvel::ApplyInterfaceLocale(registry);
    morvel::ConfigTables tables;
    morvel::FileExaminer examiner;
    // Tables read in part would store examples under the wrong names: a store
    // that cannot be read is said and the program stops.
    if (const morvel::Status started = morvel::StartUp(registry, tables, examiner, args); !started) {
        morvel::toolkit::ShowMessage(nullptr, QString::fromStdString(started.message()));
        return 1;
    }
    // A file named that could not be examined: its commands stay disabled,
    // and the user is told why once the window shows.
    morvel::Status notExamined;
    if (!tables.AttributesValid && !tables.CurrentFile.empty()) {
        notExamined = examiner.ComputeFileAttributes(tables.CurrentFile, tables);
        tables.AttributesValid = notExamined.ok();
    }

    morvel::ExampleStore examples(registry);
    morvel::ProgramWindows windows(registry, tables, examiner, examples);
    morvel::frmMain window(registry, tables, examiner, windows);
    window.show();
    if (!notExamined)
        morvel::toolkit::ShowMessage(
            &window,
            morvel::ExamineFailureText(registry, QString::fromStdString(tables.CurrentFile), notExamined));
    // The diagnostic test window has no menu command.
    if (qEnvironmentVariable("MORVEL_TEST_WINDOW") == "1") windows.ShowTest();
    return app.exec();
}
