#pragma once

#include <QtGlobal>
#include <cstring>

#include "platform/descriptor.h"

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
    // Passes over the bytes before the next one equal to `value` and returns
    // that one, or -1 when the file ends first: a search through the buffer,
    // many times faster than next() byte by byte.
    int find(unsigned char value) {
        for (;;) {
            if (pos_ == len_ && !fill())
                return -1;
            const char* from = buffer_ + pos_;
            const void* hit = std::memchr(from, value, static_cast<size_t>(len_ - pos_));
            if (hit) {
                pos_ += static_cast<const char*>(hit) - from + 1;
                return value;
            }
            pos_ = len_;
        }
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
        const qint64 got = readAt(fd_, buffer_, sizeof buffer_, at_);
        if (got <= 0)
            return false;
        at_ += got;
        pos_ = 0;
        len_ = got;
        return true;
    }

    int fd_;
    qint64 at_ = 0;
    qint64 pos_ = 0;
    qint64 len_ = 0;
    char buffer_[64 * 1024];
};

}  // namespace vantelo
