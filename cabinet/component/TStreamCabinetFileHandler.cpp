#include "cabinet/component/TStreamCabinetFileHandler.h"

#include "cabinet/component/LastError.h"
#include "platform/fci/fci.h"
#include "platform/fs/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TStreamCabinetFileHandler::TStreamCabinetFileHandler(TComponent* owner)
    : TCabinetFileHandler(owner) {}

TStreamCabinetFileHandler::~TStreamCabinetFileHandler() {
    while (!OpenStreams.empty()) {
        OpenStreams.pop_back();
    }
}

std::uint16_t TStreamCabinetFileHandler::ModeFromOpenFlags(int OFlag) {
    if ((OFlag & FCI_O_CREAT) != 0) {
        return fmCreate;
    }
    std::uint16_t access = fmOpenRead;
    if ((OFlag & FCI_O_RDWR) != 0) {
        access = fmOpenReadWrite;
    } else if ((OFlag & FCI_O_WRONLY) != 0) {
        access = fmOpenWrite;
    }
    const std::uint16_t sharing = (OFlag & FCI_O_EXCL) != 0 ? fmShareExclusive : fmShareDenyNone;
    return static_cast<std::uint16_t>(access | sharing);
}

std::int32_t TStreamCabinetFileHandler::CabOpen(const std::string& FileName, int OFlag,
                                                int /*PMode*/, int& Err, int /*Reserved*/) {
    std::uint8_t openError = 0;
    auto stream = std::make_unique<TFileStream32>(FileName, ModeFromOpenFlags(OFlag), openError);
    if (openError != 0) {
        Err = -1;
        return -1;
    }
    const std::int32_t handle = stream->Handle;
    OpenStreams.push_back(std::move(stream));
    Err = 0;
    return handle;
}

std::int32_t TStreamCabinetFileHandler::CabOpenSource(int FolderFd, const std::string& Name,
                                                      const std::string& Path, int& Err) {
    const int fd =
        ::openat(FolderFd, Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        Err = -1;
        return -1;
    }
    OpenStreams.push_back(std::make_unique<TFileStream32>(fd, Path));
    Err = 0;
    return fd;
}

TFileStream32* TStreamCabinetFileHandler::FindStream(std::int32_t Handle) const {
    for (const auto& stream : OpenStreams) {
        if (stream->Handle == Handle) {
            return stream.get();
        }
    }
    return nullptr;
}

std::uint32_t TStreamCabinetFileHandler::CabRead(std::int32_t Handle, void* Buffer,
                                                 std::uint32_t Count, int& Err) {
    TFileStream32* stream = FindStream(Handle);
    if (stream == nullptr) {
        Err = -1;
        return 0;
    }
    const std::int32_t n = stream->Read(Buffer, static_cast<std::int32_t>(Count));
    Err = static_cast<std::uint32_t>(n) == Count ? 0 : LastError();
    return static_cast<std::uint32_t>(n);
}

std::uint32_t TStreamCabinetFileHandler::CabWrite(std::int32_t Handle, const void* Buffer,
                                                  std::uint32_t Count, int& Err) {
    TFileStream32* stream = FindStream(Handle);
    if (stream == nullptr) {
        Err = -1;
        return 0;
    }
    const std::int32_t n = stream->Write(Buffer, static_cast<std::int32_t>(Count));
    Err = static_cast<std::uint32_t>(n) == Count ? 0 : LastError();
    return static_cast<std::uint32_t>(n);
}

std::int32_t TStreamCabinetFileHandler::CabClose(std::int32_t Handle, int& Err) {
    const auto found =
        std::find_if(OpenStreams.begin(), OpenStreams.end(),
                     [Handle](const auto& stream) { return stream->Handle == Handle; });
    if (found != OpenStreams.end()) {
        OpenStreams.erase(found);
    }
    Err = 0;
    return 0;
}

std::int32_t TStreamCabinetFileHandler::CabSeek(std::int32_t Handle, std::int32_t Distance,
                                                int SeekType, int& Err) {
    TFileStream32* stream = FindStream(Handle);
    if (stream == nullptr) {
        Err = -1;
        return 0;
    }
    const std::int32_t position = stream->Seek(Distance, static_cast<std::uint16_t>(SeekType));
    Err = 0;
    if (SeekType == soFromBeginning && position != Distance) {
        Err = LastError();
    }
    return position;
}

std::int32_t TStreamCabinetFileHandler::CabDelete(const std::string& FileName, int& Err) {
    Err = ostrivane::fs::Unlink(FileName) ? 0 : LastError();
    return 0;
}
