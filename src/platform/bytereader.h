#pragma once

#include <QtGlobal>
#include <cerrno>

#include <sys/types.h>
#include <unistd.h>

namespace vantelo {

// Reads a file from its start through a buffer, leaving the descriptor's own
// offset alone.
class ByteReader {
public:
    explicit ByteReader(int fd) : fd_(fd) {}
    // The next byte, or -1 at the end of the file or on a read error.
    int next() {
        if (pos_ == len_ && !fill())
            return -1;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    // Passes over bytes without reading them; past the end, next() says so.
    void skip(qint64 bytes) {
        const qint64 buffered = len_ - pos_;
        if (bytes <= buffered) {
            pos_ += bytes;
            return;
        }
        at_ += bytes - buffered;
        pos_ = len_ = 0;
    }

private:
    bool fill() {
        ssize_t got;
        do
            got = ::pread(fd_, buffer_, sizeof buffer_, at_);
        while (got < 0 && errno == EINTR);
        if (got <= 0)
            return false;
        at_ += got;
        pos_ = 0;
        len_ = got;
        return true;
    }

    int fd_;
    off_t at_ = 0;
    ssize_t pos_ = 0;
    ssize_t len_ = 0;
    char buffer_[64 * 1024];
};

}  // namespace vantelo
