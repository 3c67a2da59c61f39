// The history of backup runs: "history.jsonl" in the state folder, one JSON object on one line per
// run, oldest first, the last kHistoryLimit runs kept. Scripts and monitoring may read it.
//
// A line: {"start":"2026-12-08T18:00:03+01:00","end":"2026-12-08T18:01:10+01:00",
// "origin":"scheduled","result":"ok","verified":true,"job":"/home/me/Zalohy/data.cab",
// "archive":"/home/me/Zalohy/data.cab","parts":1,"files":120,"bytes":5242880,
// "archive_bytes":1048576,"message":""}
// - start, end: local time with its offset from UTC, to the second;
// - origin: "manual", "scheduled", "missed" or "command"; result: "ok", "failed" or "cancelled";
// - verified: true only for a complete backup in place that was read back whole;
// - job: the job the run belongs to (RunRecord::Job); archive: the archive it wrote;
// - message: the report shown to the user, empty when the run was ok.
// Lines written before a run named its job and its read-back lack "job" and "verified": such a
// run belongs to the job of its archive, and an "ok" of those days meant a verified backup.
#pragma once

#include "app/run/RunRecord.h"
#include "app/run/StateFolder.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivane::run {

inline constexpr std::size_t kHistoryLimit = 1000;
inline constexpr std::string_view kHistoryFileName = "history.jsonl";

// The job of a run that writes `archive`: the path made absolute (from the current folder) and
// plain ("//", "/./" and ".." taken out of its folder), so that one archive is one job however
// it was spelt.
std::string JobOfArchive(const std::string& archive);

// What the history says of one job, each the last of its kind in the file's order (the order
// the runs ended in; a clock once put ahead cannot hide the runs after it): its latest run, and
// its latest verified backup.
struct JobStanding {
    std::optional<RunRecord> Latest;
    std::optional<RunRecord> LastVerified;
};
JobStanding StandingOfJob(const std::vector<RunRecord>& runs, const std::string& job);

// The line of `record`, without its line end. Texts are escaped as JSON requires; bytes that are
// not UTF-8 become U+FFFD, so that the line stays valid JSON.
std::string HistoryLine(const RunRecord& record);
// The record a line holds; nothing for a damaged line (not one flat JSON object, a time, an origin
// or a result missing or unknown, a number out of range).
std::optional<RunRecord> ParseHistoryLine(std::string_view line);

class RunHistory {
public:
    // The history kept in `folder`; with an empty folder (no home known) nothing is kept.
    explicit RunHistory(std::string folder = StateFolder());

    // The history file's path; empty when nothing can be kept.
    const std::string& Path() const { return path_; }

    // Appends the record's line, written whole and flushed to the disk, making the folder (mode
    // 0700) when it is missing. When the file would hold more than kHistoryLimit runs, it is
    // replaced in one step by its last runs and the new one. False when the history cannot be
    // written; never throws.
    bool Append(const RunRecord& record) const noexcept;

    // The runs in the file, oldest first; damaged lines are skipped. Empty when there is no
    // history or it cannot be read; never throws.
    std::vector<RunRecord> Read() const noexcept;

private:
    std::string folder_;
    std::string path_;
};

} // namespace ostrivane::run
