// What the cabinet component's tests share: a component configured as the backup run configures
// it, a record of its events, a reader of the cabinet's directory, and the external checkers.
#pragma once

#include "app/run/BackupRun.h"
#include "cabinet/component/TMakeCab.h"

#include <cstdint>
#include <string>
#include <vector>

struct ReportedError {
    int Code;
    std::string FileName;
    std::string ExtendedMsg;
};

// The backup run's settings of the component, for builds driven here through the component.
using ostrivane::run::ConfigureForBackup;

// Collects every OnError report of a component.
class ErrorRecorder {
public:
    explicit ErrorRecorder(TMakeCab& cab);
    const std::vector<ReportedError>& Errors() const { return errors_; }
    int Count(int code) const;
    std::string Describe() const;

private:
    std::vector<ReportedError> errors_;
};

// The directory of a cabinet file as the MS-CAB format lays it out.
struct CabFileRecord {
    std::uint32_t Size;
    std::uint16_t Folder;
    std::uint16_t Date;
    std::uint16_t Time;
    std::uint16_t Attribs;
    std::string Name;
};
struct CabDataRecord {
    std::uint16_t Compressed; // cbData, the payload's size
    std::uint16_t Uncompressed;
};
struct CabDirectory {
    bool Valid = false;
    std::uint32_t CabinetSize = 0;
    std::vector<std::uint16_t> FolderCompression;
    std::vector<CabFileRecord> Files;
    std::vector<CabDataRecord> DataRecords; // of every folder, in order
};
CabDirectory ReadCabDirectory(const std::string& path);

// A cabinet of one uncompressed folder holding `files` (stored name with "\" separators,
// bytes), laid out as the format prescribes, with correct checksums: names no writer of ours
// would store can be tried on readers.
std::string StoredCabinet(const std::vector<std::pair<std::string, std::string>>& files);

// Runs a shell command line; its exit status, with standard output and error in `output`.
int RunCommand(const std::string& command, std::string* output = nullptr);
// Single-quoted for the shell.
std::string ShellQuote(const std::string& text);

// Deterministic test data.
std::string RandomBytes(std::size_t size, std::uint32_t seed);
std::string CompressibleText(std::size_t size);

// Every regular file below `root`, as relative path -> contents.
std::vector<std::pair<std::string, std::string>> TreeContents(const std::string& root);
