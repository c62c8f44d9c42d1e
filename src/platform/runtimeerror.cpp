#include "platform/runtimeerror.h"

#include <QCoreApplication>
#include <utility>

namespace vantelo {

QString standardDescription(int number) {
    switch (number) {
        case ErrInvalidCall:
            return QLatin1String(
                QT_TRANSLATE_NOOP("RuntimeError", "Invalid procedure call or argument"));
        case ErrOverflow:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Overflow"));
        case 7:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Out of memory"));
        case 9:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Subscript out of range"));
        case ErrDivisionByZero:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Division by zero"));
        case ErrTypeMismatch:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Type mismatch"));
        case ErrBadFileName:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Bad file name or number"));
        case ErrFileNotFound:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "File not found"));
        case ErrDiskFull:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Disk full"));
        case ErrTooManyFiles:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Too many files"));
        case ErrPermissionDenied:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Permission denied"));
        case ErrPathFileAccess:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Path/File access error"));
        case ErrPathNotFound:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Path not found"));
        case ErrInvalidPropertyValue:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Invalid property value"));
        case ErrInvalidPicture:
            return QLatin1String(QT_TRANSLATE_NOOP("RuntimeError", "Invalid picture"));
        default:
            return QLatin1String(
                QT_TRANSLATE_NOOP("RuntimeError", "Application-defined or object-defined error"));
    }
}

QString displayedDescription(const QString& description) {
    return QCoreApplication::translate("RuntimeError", description.toUtf8().constData());
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, standardDescription(number)) {}

RuntimeError::RuntimeError(int number, QString description)
    : number_(number), description_(std::move(description)), what_(description_.toUtf8()) {}

}  // namespace vantelo
