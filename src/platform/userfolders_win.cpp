#include <windows.h>

#include "platform/filesystem.h"
#include "platform/userfolders.h"

namespace vantelo {

// The folder's read-only attribute keeps nothing out of it on Windows; only
// its access list does, and an open that asks for the rights to add a file
// and a folder is answered from that list.
bool mayWriteFolder(const QString& folder) {
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t*>(systemPath(folder).utf16()),
                      FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool isFolder = ::GetFileInformationByHandle(handle, &info) &&
                          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    ::CloseHandle(handle);
    return isFolder;
}

}  // namespace vantelo
