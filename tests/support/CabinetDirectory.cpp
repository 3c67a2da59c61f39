#include "CabinetDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace testsupport {

namespace {

// Little-endian reads at any offset of an open file.
class RecordReader {
public:
    explicit RecordReader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {
        struct stat info {};
        if (fd_ >= 0 && ::fstat(fd_, &info) == 0)
            size_ = static_cast<std::uint64_t>(info.st_size);
    }
    ~RecordReader() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    std::uint64_t Size() const { return size_; }
    // False when `count` bytes at `at` are not all in the file.
    bool Read(std::uint64_t at, std::size_t count, std::string& bytes) const {
        bytes.assign(count, '\0');
        return at + count <= size_ && ::pread(fd_, bytes.data(), count, static_cast<off_t>(at)) ==
                                          static_cast<ssize_t>(count);
    }
    // A NUL-ended string at `at`; false when it does not end within the file.
    bool ReadString(std::uint64_t& at, std::string& text) const {
        text.clear();
        std::string chunk;
        for (;;) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(256, size_ > at ? size_ - at : 0));
            if (count == 0 || !Read(at, count, chunk))
                return false;
            const std::size_t end = chunk.find('\0');
            text += chunk.substr(0, end);
            if (end != std::string::npos) {
                at += end + 1;
                return true;
            }
            at += count;
        }
    }

private:
    int fd_;
    std::uint64_t size_ = 0;
};

std::uint16_t U16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t U32(const std::string& b, std::size_t at) {
    return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

// The header up to its folder records; false when it is not a cabinet's.
bool ReadHeader(const RecordReader& file, CabDirectory& dir, std::uint64_t& at) {
    std::string b;
    if (!file.Read(0, 36, b) || b.compare(0, 4, "MSCF") != 0)
        return false;
    dir.CabinetSize = U32(b, 8);
    dir.FilesOffset = U32(b, 16);
    dir.MinorVersion = static_cast<std::uint8_t>(b[24]);
    dir.MajorVersion = static_cast<std::uint8_t>(b[25]);
    dir.Folders.resize(U16(b, 26));
    dir.Files.resize(U16(b, 28));
    dir.Flags = U16(b, 30);
    dir.SetId = U16(b, 32);
    dir.Index = U16(b, 34);
    at = 36;
    if (dir.Flags & 0x0004) { // reserve present
        if (!file.Read(at, 4, b))
            return false;
        dir.HeaderReserve = U16(b, 0);
        dir.FolderReserve = static_cast<std::uint8_t>(b[2]);
        dir.DataReserve = static_cast<std::uint8_t>(b[3]);
        dir.HeaderReserveOffset = at + 4;
        at += 4 + dir.HeaderReserve;
    }
    // The previous cabinet's and disk's names, then the next ones'.
    const int names = (dir.Flags & 0x0001 ? 2 : 0) + (dir.Flags & 0x0002 ? 2 : 0);
    std::string ignored;
    for (int i = 0; i < names; ++i)
        if (!file.ReadString(at, ignored))
            return false;
    return true;
}

bool ReadFolder(const RecordReader& file, const CabDirectory& dir, std::uint64_t at,
                CabFolderRecord& folder) {
    std::string b;
    if (!file.Read(at, 8, b))
        return false;
    folder.DataOffset = U32(b, 0);
    folder.BlockCount = U16(b, 4);
    folder.Compression = U16(b, 6);
    std::uint64_t record = folder.DataOffset;
    for (int block = 0; block < folder.BlockCount; ++block) {
        if (!file.Read(record, 8, b) || record + 8 + dir.DataReserve > file.Size())
            return false;
        folder.Data.push_back({record, U32(b, 0), U16(b, 4), U16(b, 6)});
        record += 8 + dir.DataReserve + U16(b, 4);
    }
    return true;
}

bool ReadFileRecord(const RecordReader& file, std::uint64_t& at, CabFileRecord& record) {
    std::string b;
    if (!file.Read(at, 16, b))
        return false;
    record.Size = U32(b, 0);
    record.FolderOffset = U32(b, 4);
    record.Folder = U16(b, 8);
    record.Date = U16(b, 10);
    record.Time = U16(b, 12);
    record.Attribs = U16(b, 14);
    at += 16;
    return file.ReadString(at, record.Name);
}

} // namespace

std::uint32_t CabDirectory::ReserveBytes() const {
    return Flags & 0x0004 ? static_cast<std::uint32_t>(HeaderReserveOffset - 36) + HeaderReserve
                          : 0;
}

std::vector<CabDataRecord> CabDirectory::DataRecords() const {
    std::vector<CabDataRecord> records;
    for (const CabFolderRecord& folder : Folders)
        records.insert(records.end(), folder.Data.begin(), folder.Data.end());
    return records;
}

std::vector<std::string> CabDirectory::SortedNames() const {
    std::vector<std::string> names;
    for (const CabFileRecord& file : Files)
        names.push_back(file.Name);
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::uint32_t> CabDirectory::SizesByName() const {
    std::map<std::string, std::uint32_t> sizes;
    for (const CabFileRecord& file : Files)
        sizes[file.Name] = file.Size;
    return sizes;
}

CabDirectory ReadCabDirectory(const std::string& path) {
    const RecordReader file(path);
    CabDirectory dir;
    dir.FileSize = file.Size();
    std::uint64_t at = 0;
    if (!ReadHeader(file, dir, at))
        return {};
    for (CabFolderRecord& folder : dir.Folders) {
        if (!ReadFolder(file, dir, at, folder))
            return {};
        at += 8 + dir.FolderReserve;
    }
    dir.FoldersEnd = at;
    at = dir.FilesOffset;
    for (CabFileRecord& record : dir.Files)
        if (!ReadFileRecord(file, at, record))
            return {};
    // The backup's catalog is a member like any other to every reader; the tests look at the
    // files of the backup, and at the catalog on its own.
    for (auto record = dir.Files.begin(); record != dir.Files.end(); ++record) {
        if (record->Name == kCatalogMemberName) {
            dir.Catalog = *record;
            dir.Files.erase(record);
            break;
        }
    }
    dir.Valid = true;
    return dir;
}

} // namespace testsupport
