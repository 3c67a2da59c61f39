// The disk check of a build. The "drive" of the archive is the file system holding the
// archive's folder: it must be reachable, writable (no read-only mount, and a probe file can be
// created in the archive's own folder), and its volume information must be readable.
#include "archive/component/TZipCommon.h"

#include "archive/naming/ArchiveNames.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The folder holding `archive`: its folder part without the trailing "/" ("/" for the root),
// or the current folder for a bare name.
std::string ArchiveFolder(const std::string& archive) {
    return archive.find('/') == std::string::npos ? ostrivane::fs::CurrentFolder()
                                                  : ostrivane::fs::FolderOf(archive);
}

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The file systems a backup folder is commonly on, by their statfs magic number, with the
// Windows drive type each stands for (3 fixed, 4 remote, 6 RAM disk).
struct KnownFileSystem {
    unsigned long Magic;
    const char* Name;
    int DriveType;
};
constexpr KnownFileSystem kKnownFileSystems[] = {
    {0xEF53, "ext2/ext3/ext4", 3}, {0x01021994, "tmpfs", 6},
    {0x858458F6, "ramfs", 6},      {0x6969, "nfs", 4},
    {0xFF534D42, "cifs", 4},       {0xFE534D42, "cifs", 4},
    {0x794C7630, "overlay", 3},    {0x9123683E, "btrfs", 3},
    {0x58465342, "xfs", 3},
};

void DescribeFileSystem(const std::string& folder, TDiskManager& disk) {
    struct statfs fs {};
    disk.FileSystemName.clear();
    disk.DriveType = 3; // fixed
    if (::statfs(folder.c_str(), &fs) != 0)
        return;
    const auto magic = static_cast<unsigned long>(fs.f_type);
    for (const KnownFileSystem& known : kKnownFileSystems) {
        if (known.Magic == magic) {
            disk.FileSystemName = known.Name;
            disk.DriveType = known.DriveType;
            return;
        }
    }
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%lX", magic);
    disk.FileSystemName = hex;
}

} // namespace

bool TZipCommon::CheckArchiveDisk() {
    std::string folder = ArchiveFolder(archiveFile_);
    DiskManager = TDiskManager{};
    DiskManager.Drive = folder;

    // Ready: the folder can be reached at all.
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        DoError(folder, "", kErrNotAccessible, "");
        return false;
    }

    // Write protection: a read-only mount, or a probe file that cannot be created in the
    // archive's own folder because the file system is read-only (or cannot be removed again).
    // The probe is named as a run's temporary file, so that one a killed run left is removed by
    // the next run there.
    struct statvfs vfs {};
    bool writeProtected = ::statvfs(folder.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY);
    if (!writeProtected) {
        std::string probeFolder = folder.back() == '/' ? folder : folder + "/";
        auto probe = ostrivane::fs::CreateUniqueTempFile(
            probeFolder, std::string(ostrivane::names::kProbePrefix));
        if (!probe)
            writeProtected = errno == EROFS;
        else if (!ostrivane::fs::Unlink(*probe))
            writeProtected = true;
    }
    if (writeProtected) {
        DoError(folder, "", kErrWriteProtected, "");
        return false;
    }

    // Volume information, asked again as long as the user chooses Retry.
    while (::statvfs(folder.c_str(), &vfs) != 0) {
        std::string text = UpperAscii(folder) + "is not accessible" + "\r\r" + std::strerror(errno);
        if (!(Hooks.RetryCancel && Hooks.RetryCancel(text))) {
            DoError(folder, "", kErrNotAccessible, "");
            return false;
        }
    }

    // The "drive type" of a folder that does not exist.
    if (!ostrivane::fs::IsDirectory(folder)) {
        DoError(folder, "", kErrNotAccessible, "");
        return false;
    }

    char serial[16];
    std::snprintf(serial, sizeof serial, "%08lX",
                  static_cast<unsigned long>(vfs.f_fsid) & 0xFFFFFFFFul);
    DiskManager.SerialNumber = serial;
    DescribeFileSystem(folder, DiskManager);
    DiskManager.FreeSpace = static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize);
    DiskManager.TotalSpace = static_cast<double>(vfs.f_blocks) * static_cast<double>(vfs.f_frsize);
    return true;
}
