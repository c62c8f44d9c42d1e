#include "platform/process.h"

#include <QCoreApplication>

namespace vantelo {

QStringList commandLineArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void useParentConsole() {}

bool displayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QString displayHint(const QString& programName) {
    return QCoreApplication::translate("main",
                                       "vantelo: no display found (DISPLAY is not set).\n"
                                       "Start it from a desktop session, or without one under a "
                                       "virtual display:\n"
                                       "  xvfb-run -a %1\n")
        .arg(programName);
}

QString settingsLocationText() {
    return QCoreApplication::translate("main",
                                       "Settings are kept in ~/.config/Tarnwick/Vantelo.conf.");
}

}  // namespace vantelo
