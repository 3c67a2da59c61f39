// What the cabinet component's tests share beyond tests/support: a component configured as the
// backup run configures it, and a record of its error reports.
#pragma once

#include "app/run/BackupRun.h"
#include "cabinet/component/TMakeCab.h"
#include "tests/support/CabinetDirectory.h"
#include "tests/support/Readers.h"
#include "tests/support/Scratch.h"
#include "tests/support/Shell.h"
#include "tests/support/StoredCabinet.h"
#include "tests/support/TestData.h"

#include <string>
#include <vector>

using testsupport::CabDataRecord;
using testsupport::CabDirectory;
using testsupport::CabFileRecord;
using testsupport::CompressibleText;
using testsupport::Exists;
using testsupport::Quote;
using testsupport::RandomBytes;
using testsupport::ReadCabDirectory;
using testsupport::ReadFile;
using testsupport::Scratch;
using testsupport::Shell;
using testsupport::StoredCabinet;
using testsupport::TreeContents;
using testsupport::WriteFile;

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
