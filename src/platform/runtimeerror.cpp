#include "platform/runtimeerror.h"

#include <utility>

namespace vantelo {

QString standardDescription(int number) {
    switch (number) {
        case ErrInvalidCall:
            return QStringLiteral("Invalid procedure call or argument");
        case ErrOverflow:
            return QStringLiteral("Overflow");
        case 7:
            return QStringLiteral("Out of memory");
        case 9:
            return QStringLiteral("Subscript out of range");
        case ErrDivisionByZero:
            return QStringLiteral("Division by zero");
        case ErrTypeMismatch:
            return QStringLiteral("Type mismatch");
        case ErrBadFileName:
            return QStringLiteral("Bad file name or number");
        case ErrFileNotFound:
            return QStringLiteral("File not found");
        case ErrDiskFull:
            return QStringLiteral("Disk full");
        case ErrTooManyFiles:
            return QStringLiteral("Too many files");
        case ErrPermissionDenied:
            return QStringLiteral("Permission denied");
        case ErrPathFileAccess:
            return QStringLiteral("Path/File access error");
        case ErrPathNotFound:
            return QStringLiteral("Path not found");
        case ErrInvalidPropertyValue:
            return QStringLiteral("Invalid property value");
        case ErrInvalidPicture:
            return QStringLiteral("Invalid picture");
        default:
            return QStringLiteral("Application-defined or object-defined error");
    }
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, standardDescription(number)) {}

RuntimeError::RuntimeError(int number, QString description)
    : number_(number), description_(std::move(description)), what_(description_.toUtf8()) {}

}  // namespace vantelo
