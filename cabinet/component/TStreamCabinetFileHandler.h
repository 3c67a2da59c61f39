// Serves the cabinet library's file requests with TFileStream32 objects, kept by handle until
// they are closed. The handle given out is the stream's file descriptor.
#pragma once

#include "cabinet/component/TCabinetFileHandler.h"
#include "cabinet/streams/TFileStream32.h"

#include <memory>
#include <vector>

class TStreamCabinetFileHandler : public TCabinetFileHandler {
public:
    explicit TStreamCabinetFileHandler(TComponent* owner = nullptr);
    // Frees every stream still open, from the last opened to the first.
    ~TStreamCabinetFileHandler() override;

    // _O_CREAT creates or cuts the file (nothing else looked at); otherwise an existing file is
    // opened with the access of _O_RDWR / _O_WRONLY / read, sharing exclusive under _O_EXCL.
    std::int32_t CabOpen(const std::string& FileName, int OFlag, int PMode, int& Err,
                         int Reserved) override;
    std::uint32_t CabRead(std::int32_t Handle, void* Buffer, std::uint32_t Count,
                          int& Err) override;
    std::uint32_t CabWrite(std::int32_t Handle, const void* Buffer, std::uint32_t Count,
                           int& Err) override;
    // Always 0 with Err 0, an unknown handle included.
    std::int32_t CabClose(std::int32_t Handle, int& Err) override;
    std::int32_t CabSeek(std::int32_t Handle, std::int32_t Distance, int SeekType,
                         int& Err) override;
    // Opens with O_NOFOLLOW and O_NONBLOCK (an open never blocks, nor does a read of what is not
    // a regular file; the flag changes nothing for one) and without a look at what was opened:
    // the component compares the file with the scan's look at it after its last read.
    std::int32_t CabOpenSource(int FolderFd, const std::string& Name, const std::string& Path,
                               int& Err) override;
    // Always 0; Err tells whether the file was deleted.
    std::int32_t CabDelete(const std::string& FileName, int& Err) override;

    // The first open stream whose handle equals Handle, or none.
    TFileStream32* FindStream(std::int32_t Handle) const;
    // The mode TFileStream32 is opened with for the given _open flags.
    static std::uint16_t ModeFromOpenFlags(int OFlag);

    std::vector<std::unique_ptr<TFileStream32>> OpenStreams;
};
