// The file operations the cabinet library's callbacks are served by. Each reports through Err:
// 0 success, -1 unknown handle or failed open, any other value the system's last-error code.
#pragma once

#include "archive/model/TComponent.h"

#include <cstdint>
#include <string>

class TCabinetFileHandler : public TComponent {
public:
    explicit TCabinetFileHandler(TComponent* owner = nullptr) : TComponent(owner) {}

    // OFlag takes the FCI_O_* values of the C run-time's _open.
    virtual std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                                 int Reserved) = 0;
    virtual std::uint32_t CabRead(std::int32_t Handle, void* Buffer, std::uint32_t Count,
                                  int& Err) = 0;
    virtual std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                                   int& Err) = 0;
    virtual std::int32_t CabClose(std::int32_t Handle, int& Err) = 0;
    virtual std::int32_t CabSeek(std::int32_t Handle, std::int32_t Distance, int SeekType,
                                 int& Err) = 0;
    virtual std::int32_t CabDelete(const std::string& FileName, int& Err) = 0;
    // Opens for reading the source file `Name` of the folder open as `FolderFd`, relative to
    // that folder and never through a symbolic link; `Path` is the file's full path (for the
    // reports). A failed open leaves errno set.
    virtual std::int32_t CabOpenSource(int FolderFd, const std::string& Name,
                                       const std::string& Path, int& Err) = 0;
};
