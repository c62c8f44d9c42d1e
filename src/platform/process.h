#pragma once

#include <QString>
#include <QStringList>

namespace vantelo {

// What the program learns from the system about how it was started, before
// any Qt application object exists.

// The command line's arguments after the program's name, as the user typed
// them: on Windows from the wide command line (argv holds only what the
// ANSI code page can spell), elsewhere decoded from the locale's bytes.
QStringList commandLineArguments(int argc, char* argv[]);

// Makes printed text reach the console the program was started from. A
// Windows program with a window has no console of its own, so --help and the
// command line's reports attach to the parent's; elsewhere nothing to do.
void useParentConsole();

// Whether a window can be shown at all: a display server on Linux (or a
// platform named in QT_QPA_PLATFORM); always on Windows.
bool displayAvailable();

// How to start the program without a display, for the message that says
// there is none; empty where every start has one.
QString displayHint(const QString& programName);

// Where the stored settings live, for --help.
QString settingsLocationText();

}  // namespace vantelo
