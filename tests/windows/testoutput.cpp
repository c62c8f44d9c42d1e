// Linked into every test program built for Windows.
//
// Without a console window, Qt Test sends its report to the debugger
// (OutputDebugString), so under CTest, or under Wine with its output piped,
// a failing test would say nothing. Asking for standard-error logging before
// main() runs keeps the report on the program's own output. Wine does not
// pass QT_* variables on to Windows programs, so the variable is set here
// rather than in the tests' environment.
#include <QByteArray>
#include <QtGlobal>

namespace {

void logToStandardOutput() {
    qputenv("QT_FORCE_STDERR_LOGGING", QByteArray("1"));
}

}  // namespace

Q_CONSTRUCTOR_FUNCTION(logToStandardOutput)
