// What the fault and hostile-tree tests share beyond tests/support: a cabinet component set up
// as the backup run sets it up, its reports, builds in a guarded child process, and the names a
// backup stores for a tree.
#pragma once

#include "app/run/BackupRun.h"
#include "cabinet/component/TMakeCab.h"
#include "tests/support/CabinetDirectory.h"
#include "tests/support/Child.h"
#include "tests/support/Readers.h"
#include "tests/support/Scratch.h"
#include "tests/support/Shell.h"
#include "tests/support/TestData.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace faults {

using testsupport::CabDirectory;
using testsupport::CabextractAccepts;
using testsupport::CabextractFile;
using testsupport::CabextractNames;
using testsupport::Exists;
using testsupport::HandOver;
using testsupport::IsRoot;
using testsupport::Listing;
using testsupport::Quote;
using testsupport::RandomBytes;
using testsupport::ReadCabDirectory;
using testsupport::ReadersAccept;
using testsupport::ReadFile;
using testsupport::RemoveTree;
using testsupport::RunGuarded;
using testsupport::RunUnprivileged;
using testsupport::Scratch;
using testsupport::Shell;
using testsupport::WriteFile;

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

// The names the backup run stores for the files of a tree: for every regular file (or link to
// one) below `root`, hidden ones included, not through a linked folder,
// last component of `root` + "\" + its relative path with "\" between the parts.
std::set<std::string> StoredNamesOfTree(const std::string& root, bool recurse);

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

} // namespace faults
