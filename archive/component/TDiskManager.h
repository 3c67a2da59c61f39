// The disk check of the archive's "drive", which on this platform is the file system holding
// the archive's folder. It remembers what it learnt of that file system.
#pragma once

#include <cstdint>
#include <string>

struct TDiskManager {
    std::string Drive;          // the archive's folder, the counterpart of the drive text
    std::string VolumeLabel;    // not available here: empty
    std::string SerialNumber;   // file-system id as 8 hexadecimal digits
    std::string FileSystemName; // e.g. "ext2/ext3/ext4", "tmpfs", or the magic number in hex
    int DriveType = 0;          // 3 = fixed, 4 = remote, 6 = RAM disk (the Windows numbering)
    double FreeSpace = 0.0;
    double TotalSpace = 0.0;
};
