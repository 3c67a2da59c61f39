// What went wrong during one backup run, collected from the archive engine's error reports so
// that the user is told once the run is over. A cancel by the user is no error and is not kept.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ostrivane {

struct EngineReport {
    int Code = 0;
    std::string FileName;
    std::string ExtendedMsg;
};

class BackupReport {
public:
    // At most this many reports are listed in the message; the rest are counted.
    static constexpr std::size_t kListedReports = 15;

    void Clear() { reports_.clear(); }
    // Keeps one report of the engine (its OnError parameters); 25443 "User canceled" is dropped.
    void Add(int code, const std::string& fileName, const std::string& extendedMsg);
    // Keeps a failure found by the run itself, outside the engine, as a ready text.
    void AddText(const std::string& text);

    bool Empty() const { return reports_.empty(); }
    const std::vector<EngineReport>& Reports() const { return reports_; }

    // The Czech message that tells the user the backup of `archivePath` did not complete, one
    // line per report: the code's text, then the file it concerns.
    std::string Message(const std::string& archivePath) const;

private:
    std::vector<EngineReport> reports_;
};

} // namespace ostrivane
