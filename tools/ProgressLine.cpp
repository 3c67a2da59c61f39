#include "tools/ProgressLine.h"

#include <cstdio>
#include <unistd.h>

namespace cabtool {

ProgressLine::ProgressLine() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Enter(Phase phase) {
    if (phase == phase_)
        return;
    phase_ = phase;
    lastFile_ = lastArchive_ = 1000;
    if (!terminal_)
        std::fputs(phase == Phase::Packing ? "Balení souborů do archívu\n" : "Ověřování archívu\n",
                   stderr);
}

void ProgressLine::Show(unsigned byFile, unsigned byArchive) {
    Enter(Phase::Packing);
    if (!terminal_ || (byFile == lastFile_ && byArchive == lastArchive_))
        return;
    lastFile_ = byFile;
    lastArchive_ = byArchive;
    std::fprintf(stderr, "\rsoubor %3u%%  archív %3u%%", byFile, byArchive);
    open_ = true;
}

void ProgressLine::ShowVerification(unsigned percent) {
    Enter(Phase::Verifying);
    if (!terminal_ || percent == lastFile_)
        return;
    lastFile_ = percent;
    std::fprintf(stderr, "\rověřování %3u%%          ", percent);
    open_ = true;
}

void ProgressLine::End() {
    if (open_) {
        std::fputc('\n', stderr);
        open_ = false;
    }
}

} // namespace cabtool
