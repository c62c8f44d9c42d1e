#pragma once

#include <QString>
#include <QtGlobal>

#include <utility>

namespace vantelo {

// Closes a file descriptor (on Windows one of the C runtime's, which owns the
// system handle beneath it).
void closeDescriptor(int fd);

// Reads up to `bytes` bytes at `offset` without moving the descriptor's own
// position, so that a QFile reading the same descriptor is not disturbed.
// Returns the bytes read, 0 at the end of the file, -1 on a read error.
qint64 readAt(int fd, char* buffer, qint64 bytes, qint64 offset);

// Owns a file descriptor: closes it however the scope ends, unless it was
// handed on with release().
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            closeDescriptor(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// A regular file open for reading, and its size when it was opened.
struct RegularFile {
    Descriptor descriptor;
    qint64 size;
};

// Opens a regular file for reading without blocking and without waiting on
// anything that is not a file on a disk: a pipe, a device or a device name
// (Windows' CON, NUL, COM1.jpg) is refused before a byte is read. Raises 52
// for a name no file can have, 53 for a missing file, 76 for a missing folder
// or a folder, 70 when it may not be read (on Windows also when another
// program holds it locked), and 481 "Invalid picture: not a file" for
// anything but a regular file.
RegularFile openRegularFile(const QString& path);

}  // namespace vantelo
