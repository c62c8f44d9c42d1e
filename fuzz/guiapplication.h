#pragma once

#include <QGuiApplication>

// The image readers need a running QGuiApplication; it is made once, for the
// whole fuzzing run, on a display that needs no screen, and its messages are
// kept off the fuzzer's output.
inline void ensureGuiApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static const QGuiApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "minimal");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}
