#include <QCoreApplication>
#include <algorithm>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/descriptor.h"
#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo {
namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

RuntimeError notAFile() {
    return RuntimeError(ErrInvalidPicture, QLatin1String(QT_TRANSLATE_NOOP(
                                               "RuntimeError", "Invalid picture: not a file")));
}

}  // namespace

void closeDescriptor(int fd) {
    ::_close(fd);
}

// A read at an offset moves a synchronous handle's position on Windows, so
// the position is put back after it.
qint64 readAt(int fd, char* buffer, qint64 bytes, qint64 offset) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || bytes < 0 || offset < 0)
        return -1;
    LARGE_INTEGER here{};
    const bool known = ::SetFilePointerEx(handle, LARGE_INTEGER{}, &here, FILE_CURRENT) != FALSE;
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset));
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD got = 0;
    const DWORD wanted = DWORD(std::min<qint64>(bytes, qint64(1) << 30));
    const bool read = ::ReadFile(handle, buffer, wanted, &got, &at) != FALSE;
    const DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
    if (known)
        ::SetFilePointerEx(handle, here, nullptr, FILE_BEGIN);
    if (!read)
        return error == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
}

// The open asks for nothing but reading and lets others read, write and
// delete, as an open on POSIX does; it fails on a folder, and a device name
// is refused before any open, since opening one may wait on the device.
RegularFile openRegularFile(const QString& path) {
    // No file system can name a path holding a NUL.
    if (path.contains(QChar(0)))
        throw RuntimeError(ErrBadFileName);
    if (path.isEmpty())
        throw RuntimeError(ErrFileNotFound);
    if (isDeviceName(path))
        throw notAFile();
    const QString native = systemPath(path);
    HANDLE handle = ::CreateFileW(wide(native), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD value = ::GetFileAttributesW(wide(native));
        if (value != INVALID_FILE_ATTRIBUTES && (value & FILE_ATTRIBUTE_DIRECTORY) != 0)
            throw RuntimeError(ErrPathNotFound);
        throw RuntimeError(errorNumberForSystemError(error));
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    if (fd < 0) {
        ::CloseHandle(handle);
        throw RuntimeError(ErrTooManyFiles);
    }
    Descriptor descriptor(fd);
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        throw notAFile();
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle, &info))
        throw RuntimeError(errorNumberForSystemError(::GetLastError()));
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        throw RuntimeError(ErrPathNotFound);
    const qint64 size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    return {std::move(descriptor), size};
}

}  // namespace vantelo
