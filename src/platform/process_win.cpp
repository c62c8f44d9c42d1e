#include "platform/process.h"

#include <QCoreApplication>
#include <cstdio>

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace vantelo {

QStringList commandLineArguments(int, char*[]) {
    QStringList arguments;
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!words)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments << QString::fromWCharArray(words[i]);
    ::LocalFree(words);
    return arguments;
}

namespace {

bool hasHandle(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

void useParentConsole() {
    // Started with its output redirected (a pipe or a file), the program
    // already has handles to print to; only a bare start from a console
    // needs to attach to it.
    if (hasHandle(STD_OUTPUT_HANDLE) && hasHandle(STD_ERROR_HANDLE))
        return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!hasHandle(STD_OUTPUT_HANDLE))
        std::freopen("CONOUT$", "w", stdout);
    if (!hasHandle(STD_ERROR_HANDLE))
        std::freopen("CONOUT$", "w", stderr);
}

bool displayAvailable() {
    return true;
}

QString displayHint(const QString&) {
    return QString();
}

QString settingsLocationText() {
    return QCoreApplication::translate("main",
                                       "Settings are kept in the registry under\n"
                                       "HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                                       "Settings\\Tarnwick\\Vantelo.");
}

}  // namespace vantelo
