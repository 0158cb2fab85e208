// The window toolkit: what every window of the program needs from Qt beyond
// plain widgets. Geometry in twips, the yield of long work, the message and
// input boxes, the open dialog, the beep, timers, the program's folder and
// version, starting other programs and ending this one.
//
// Everything here runs on the user-interface thread. The message box, the
// input box, the open dialog, the beep, starting a program and ending the
// program go through seams (SetHooks) so that tests can answer them without a
// person and without starting anything.
#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/platform/Status.h"

class QFileDialog;
class QListWidget;
class QTimer;
class QWidget;

namespace morvel::toolkit {

// Twips (1/1440 inch): 15 twips are one device-independent pixel.
inline constexpr int kTwipsPerPixel = 15;
// Rounds to the nearest pixel.
constexpr int Pixels(int twips) {
    return (twips >= 0 ? twips + kTwipsPerPixel / 2 : twips - kTwipsPerPixel / 2) / kTwipsPerPixel;
}
constexpr int Twips(int pixels) { return pixels * kTwipsPerPixel; }
// Places and sizes a widget from twips (left, top, width, height).
void PlaceTwips(QWidget& widget, int left, int top, int width, int height);

// Widens a control to the width its text needs when that is more than it
// has: the designed width stays the minimum. Returns the growth in pixels.
int GrowToText(QWidget& control);

// Places a dialog where it is seen whole: just below owner (the main window,
// a title bar over its menu), or centred on the screen without an owner, and
// moved inside the screen's available area.
void PlaceNear(QWidget& dialog, const QWidget* owner);

// The first Up or Down key in a list where no row is selected selects the
// row the list marks as current (the first row when none), as a list box
// does, instead of stepping past it.
void SelectFirstOnArrow(QListWidget& list);

// Selects row of list (made current) and scrolls it wholly into sight.
void SelectRow(QListWidget& list, int row);

// Lets the window system process pending events once.
void Yield();

// The system beep.
void Beep();

// A message box with the text, an OK button only and the title "Morvel".
void ShowMessage(QWidget* parent, const QString& text);

// A question with Yes and No buttons and the title "Morvel", No the default;
// true when the answer is Yes.
bool AskYesNo(QWidget* parent, const QString& text);

// A text input box; returns the text, or an empty text when cancelled.
QString InputBox(QWidget* parent, const QString& prompt, const QString& title, const QString& defaultText);

// What the open dialog is asked to show.
struct OpenFileRequest {
    QString title;
    QString folder;       // where it starts
    QStringList filters;  // Qt name filters ("Description (*.exe *.com)"), the first preselected
};
// The file-open dialog: existing files only. Returns the chosen file's full
// path, or an empty text when cancelled.
QString OpenFileName(QWidget* parent, const OpenFileRequest& request);
// The dialog that OpenFileName shows, configured but not yet shown: Qt's own
// dialog, never the platform's, and its list tells the files' types from
// their names: it reads no file's contents.
QFileDialog* MakeOpenDialog(QWidget* parent, const OpenFileRequest& request);

// The folder dialog: Qt's own, folders only, reading no file's contents.
// Returns the chosen folder, or an empty text when cancelled.
QString FolderName(QWidget* parent, const QString& title, const QString& folder);

// Sets a timer's interval in milliseconds and starts it; 0 stops it.
void SetInterval(QTimer& timer, int milliseconds);

// The folder of the running program.
QString ProgramFolder();
// The folder of the language files: "Interfaces" beside the program (a build
// folder, or a copy of the program with its own languages), else the one
// installed with the program.
QString InterfacesFolder();
// The program's title and version numbers.
inline constexpr const char* kProgramTitle = "Morvel";
struct Version {
    int major = 0;
    int minor = 0;
    int revision = 0;
};
Version ProgramVersion();
// The program's icon, drawn in code.
QIcon ProgramIcon();

// How a started program's window should appear.
enum class WindowState { MinimizedActive, NormalActive };
// Starts program (a full path) with arguments without waiting for it. A file
// this user may execute is started directly, without a shell; any other file,
// or one that the system cannot execute, is handed to the desktop's default
// opener. The result says why neither worked.
Status StartProgram(const QString& program, const QStringList& arguments, WindowState state);

// Ends the program at once with all its windows; nothing is saved here.
void EndProgram();

// Test seams. A hook that is set takes the place of the real dialog, sound,
// process start or exit.
struct Hooks {
    std::function<void(const QString& text)> message;
    std::function<bool(const QString& text)> question;
    std::function<QString(const QString& prompt, const QString& title, const QString& defaultText)> input;
    std::function<QString(const OpenFileRequest&)> openFile;
    std::function<QString(const QString& title)> folder;
    std::function<void()> beep;
    std::function<Status(const QString& program, const QStringList& arguments)> start;
    std::function<void()> endProgram;
    QString programFolder;  // when not empty
};
// Replaces every hook; pass Hooks() to restore the real behaviour.
void SetHooks(Hooks hooks);

}  // namespace morvel::toolkit
