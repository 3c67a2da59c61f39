// What the fault and hostile-tree tests share: a scratch folder, file makers, a cabinet
// component set up as the backup run sets it up, builds in a guarded child process, the
// directory of a written cabinet, and the external checker.
#pragma once

#include "app/run/BackupRun.h"
#include "cabinet/component/TMakeCab.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace faults {

// A fresh folder under the system's temporary folder (readable by everyone, so that a step run
// as an unprivileged user can reach it), removed with everything in it, at any depth.
class Scratch {
public:
    // Below $TMPDIR (or /tmp); with `inMemory`, below /dev/shm when it can be written (for
    // trees of very many files).
    explicit Scratch(bool inMemory = false);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Removes `path` and everything below it without following symbolic links; paths longer than
// PATH_MAX included.
void RemoveTree(const std::string& path);

// Writes `bytes` to `path`, creating the missing parent folders.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path); // without following a final symbolic link
std::string Pattern(std::size_t size, std::uint32_t seed); // deterministic, poorly compressible

struct Report {
    int Code = 0;
    std::string FileName;
    std::string ExtendedMsg;
};

// Every OnError report of a component.
class Reports {
public:
    explicit Reports(TMakeCab& cab);
    const std::vector<Report>& All() const { return reports_; }
    int Count(int code) const;
    bool Names(int code, const std::string& file) const;
    std::string Describe() const;

private:
    std::vector<Report> reports_;
};

// The backup run's settings of the component, for builds driven here with injected faults.
using ostrivane::run::ConfigureForBackup;

// The file records of a cabinet: stored name (bytes as written) -> uncompressed size. Empty
// and `valid` false when the file is not a cabinet.
struct CabListing {
    bool valid = false;
    std::map<std::string, std::uint32_t> files;
    std::uint16_t fileCount = 0;
};
CabListing ReadListing(const std::string& cabinet);

// Runs a shell command line with a time limit; its exit status (-1 when it did not end in time
// or could not run), with standard output and error in `output`.
int Shell(const std::string& command, std::string* output = nullptr, int seconds = 120);
std::string Quote(const std::string& text);
// `cabextract -t` accepts the cabinet.
bool CabextractAccepts(const std::string& cabinet);
// Empty when cabextract, 7-Zip, bsdtar and gcab all read the cabinet (test, list, extract);
// otherwise each refusing reader with what it said.
std::string ReadersAccept(const std::string& cabinet);
// The names `cabextract -l` lists (one a line; names holding a line break are not asked for).
std::set<std::string> CabextractNames(const std::string& cabinet);

// The names the backup run stores for the files of a tree: for every regular file (or link to
// one) below `root`, hidden ones included, not through a linked folder,
// last component of `root` + "\" + its relative path with "\" between the parts.
std::set<std::string> StoredNamesOfTree(const std::string& root, bool recurse);

// Runs `step` in a child process that is killed after `seconds`; the step's result (0..255),
// or -1 when it did not end in time, -2 when it crashed.
int RunGuarded(const std::function<int()>& step, int seconds);

// A build of `cab` in a guarded child; the child writes its reports to `reportFile` (code, tab,
// file name, tab, extended text, NUL) and ends with the number of files added (capped at 250).
struct GuardedBuild {
    int status = 0; // RunGuarded's result
    std::vector<Report> reports;
    bool Reported(int code, const std::string& file) const;
    std::string Describe() const;
};
GuardedBuild BuildGuarded(const std::function<void(TMakeCab&)>& setUp, int seconds,
                          const std::string& reportFile);

// True when this process may switch to the unprivileged user 65534 (it runs as root).
bool IsRoot();

} // namespace faults
