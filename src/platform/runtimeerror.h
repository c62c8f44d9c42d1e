#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace vantelo {

// The run-time error numbers the program raises or meets.
enum ErrorNumber : int {
    ErrInvalidCall = 5,
    ErrOverflow = 6,
    ErrDivisionByZero = 11,
    ErrTypeMismatch = 13,
    ErrBadFileName = 52,
    ErrFileNotFound = 53,
    ErrDiskFull = 61,
    ErrTooManyFiles = 67,
    ErrPermissionDenied = 70,
    ErrPathFileAccess = 75,
    ErrPathNotFound = 76,
    ErrInvalidPropertyValue = 380,
    ErrInvalidPicture = 481,
};

// The usual description of a run-time error number ("Overflow" for 6), or
// "Application-defined or object-defined error" for a number without one.
QString standardDescription(int number);

// A description as the user reads it: the fixed descriptions are kept in
// English in the error and translated only where they are shown.
QString displayedDescription(const QString& description);

// A run-time error: a number and a description. Every failure that reaches the
// user travels as one of these to the trap that reports it.
class RuntimeError : public std::exception {
public:
    explicit RuntimeError(int number);
    RuntimeError(int number, QString description);

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int number_;
    QString description_;
    QByteArray what_;
};

}  // namespace vantelo
