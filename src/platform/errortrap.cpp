#include "platform/errortrap.h"

namespace vantelo {

QString errorLocation(const QString& module, const QString& procedure, const QString& projectTag) {
    return projectTag + QLatin1String(kBuildDateTag) + QLatin1Char('.') + module +
           QLatin1Char('.') + procedure;
}

QString errorReportText(const RuntimeError& error, const QString& location, int line) {
    return error.description() + QLatin1String("\r\n") + QLatin1String("in ") + location +
           QLatin1Char(' ') + QLatin1String("at line ") + QString::number(line) +
           QLatin1String("\r\r") + QLatin1String("Please email screenshot of this message to ") +
           QLatin1String(kSupportAddress);
}

void showErrorReport(MessageBoxes& boxes, const RuntimeError& error, const QString& location,
                     int line) {
    boxes.show(errorReportText(error, location, line), MsgExclamation,
               QStringLiteral("Application Error"));
}

bool ErrorTrap::reportToCaller(const RuntimeError& error) {
    if (innermost_ == nullptr)
        return false;
    innermost_->trap->report(error, innermost_->line);
    return true;
}

}  // namespace vantelo
