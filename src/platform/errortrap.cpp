#include "platform/errortrap.h"

#include <QCoreApplication>

namespace vantelo {

QString errorLocation(const QString& module, const QString& procedure, const QString& projectTag) {
    return projectTag + QLatin1String(kBuildDateTag) + QLatin1Char('.') + module +
           QLatin1Char('.') + procedure;
}

QString errorReportText(const RuntimeError& error, const QString& location, int line) {
    // One pass over the markers, so a "%" in the description or location stays as it is.
    return QCoreApplication::translate(
               "ErrorReport",
               "%1\r\nin %2 at line %3\r\rPlease email screenshot of this message to %4")
        .arg(displayedDescription(error.description()), location, QString::number(line),
             QLatin1String(kSupportAddress));
}

void showErrorReport(MessageBoxes& boxes, const RuntimeError& error, const QString& location,
                     int line) {
    boxes.show(errorReportText(error, location, line), MsgExclamation,
               QCoreApplication::translate("ErrorReport", "Application Error"));
}

bool ErrorTrap::reportToCaller(const RuntimeError& error) {
    if (innermost_ == nullptr)
        return false;
    innermost_->trap->report(error, innermost_->line);
    return true;
}

}  // namespace vantelo
