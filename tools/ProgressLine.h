// The progress of a backup of ostrivane-cab on standard error. On a terminal it is one line
// rewritten in place (carriage returns): the two percentages of the packing, then the share of
// the read-back. Anywhere else (a file, a pipe, the journal of a systemd unit) a carriage return
// would pile every step into one unreadable line: there each phase gets one line as it begins.
#pragma once

namespace cabtool {

class ProgressLine {
public:
    ProgressLine(); // on a terminal when standard error is one
    explicit ProgressLine(bool terminal) : terminal_(terminal) {}

    void Show(unsigned byFile, unsigned byArchive);
    void ShowVerification(unsigned percent);
    // Ends the line rewritten in place, so that what follows (an error, the summary) starts a
    // line of its own.
    void End();

private:
    enum class Phase { None, Packing, Verifying };
    // A new phase: its line where no terminal shows the percentages.
    void Enter(Phase phase);

    bool terminal_;
    Phase phase_ = Phase::None;
    unsigned lastFile_ = 1000;
    unsigned lastArchive_ = 1000;
    bool open_ = false; // a line without its end is on the terminal
};

} // namespace cabtool
