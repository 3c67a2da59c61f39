// The restore's own figures for bench/restore/run.sh:
//
//   bench_restore make FOLDER COUNT        COUNT small files of text in a tree below FOLDER
//   bench_restore open ARCHIVE             seconds to read the catalog of ARCHIVE's backups
//                                          (with the search's folded names) and to build the
//                                          tree of the newest backup, as the dialog opens
//   bench_restore filter ARCHIVE TEXT      the text typed one letter at a time, searched in
//                                          every backup and shown: seconds of the slowest and
//                                          the mean keystroke, and the files found at the end
//   bench_restore restore ARCHIVE FOLDER own|libarchive
//                                          every file of the newest backup restored into FOLDER
//                                          with that decoder: seconds and files restored
//   bench_restore memory ARCHIVE TEXT      the program's resident memory (MB) before the restore
//                                          dialog opens on ARCHIVE's backups, while it is open
//                                          with the newest backup's tree unfolded and TEXT
//                                          searched in every backup, and after it closed
#include "app/dialogs/RestoreModels.h"
#include "app/dialogs/TfoObnova.h"
#include "app/restore/BackupCatalog.h"
#include "app/restore/NameSearch.h"
#include "app/restore/RestoreChoice.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace ostrivane::restore;

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int Make(const std::string& folder, int count) {
    static const char* const kWords[] = {"zprava",  "faktura", "smlouva", "dopis",  "foto",
                                         "tabulka", "priloha", "ucet",    "report", "poznamky"};
    std::uint32_t state = 1;
    for (int i = 0; i < count; ++i) {
        const std::string dir = folder + "/" + std::to_string(2000 + i / 4096) + "/" +
                                kWords[(i / 64) % 10] + "-" + std::to_string((i / 64) % 64);
        if (i % 64 == 0)
            std::filesystem::create_directories(dir);
        const char* word = kWords[(i * 7) % 10];
        state = state * 1664525u + 1013904223u;
        const int repeats = 5 + static_cast<int>(state >> 24); // 30 .. 2,500 bytes
        std::ofstream out(dir + "/" + word + "-" + std::to_string(i) + ".txt");
        for (int r = 0; r < repeats; ++r)
            out << word << ' ' << (r * 31 + i) % 977 << '\n';
    }
    return 0;
}

int Open(const std::string& archive) {
    const double start = Seconds();
    std::vector<Backup> backups = ReadCatalog(archive);
    NameSearch search(backups);
    const double listed = Seconds();
    ostrivane::ui::BackupListModel list;
    list.SetBackups(&backups);
    ostrivane::ui::BackupTreeModel tree;
    tree.SetBackup(backups.empty() ? nullptr : &backups.front());
    const double shown = Seconds();
    std::size_t files = 0;
    for (const Backup& backup : backups)
        files += backup.Files.size();
    std::printf("backups %zu files %zu catalog %.3f tree %.3f top-rows %d\n", backups.size(), files,
                listed - start, shown - listed, tree.rowCount());
    return 0;
}

int Filter(const std::string& archive, const std::string& text) {
    std::vector<Backup> backups = ReadCatalog(archive);
    NameSearch search(backups);
    ostrivane::ui::FileMatchModel model;
    double slowest = 0;
    double total = 0;
    std::size_t found = 0;
    for (std::size_t typed = 1; typed <= text.size(); ++typed) {
        const double start = Seconds();
        std::vector<FileRef> matches;
        for (std::uint32_t backup = 0; backup < backups.size(); ++backup)
            search.Find(text.substr(0, typed), backup, matches);
        found = matches.size();
        model.SetMatches(&backups, std::move(matches), true);
        const double took = Seconds() - start;
        slowest = std::max(slowest, took);
        total += took;
    }
    std::printf("keystrokes %zu slowest %.4f mean %.4f found %zu\n", text.size(), slowest,
                total / static_cast<double>(text.size()), found);
    return 0;
}

// The resident set of this process in MB, from /proc.
double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

// Lets the dialog do what it has to, as the program's event loop would (the objects it let go
// of included, which go only from an event loop).
void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

int Memory(const std::string& archive, const std::string& text) {
    TfoObnova dialog;
    dialog.show();
    Settle();
    const double before = ResidentMegabytes();
    dialog.Open(QString::fromStdString(archive), {});
    dialog.TreeView1->expandAll();
    Settle();
    const double tree = ResidentMegabytes();
    dialog.CheckBox1->setChecked(true);
    dialog.Edit1->setText(QString::fromStdString(text));
    Settle();
    const double open = std::max(tree, ResidentMegabytes());
    const int found = dialog.TreeView1->model()->rowCount();
    dialog.BitBtn5->click();
    Settle();
    const double closed = ResidentMegabytes();
    std::printf("memory rss-before %.1f rss-open %.1f rss-closed %.1f found %d\n", before, open,
                closed, found);
    return 0;
}

int Restore(const std::string& archive, const std::string& folder, const std::string& decoder) {
    const std::vector<Backup> backups = ReadCatalog(archive);
    if (backups.empty())
        return 1;
    const double start = Seconds();
    RestoreSummary summary;
    if (decoder == "own") {
        RestoreFiles(backups.front(), {}, folder, nullptr, {}, summary);
    } else {
        // The same restore through libarchive, the command line's decoder.
        RestoreOptions options;
        options.Decoder = CabinetDecoder::Independent;
        const RestoreOutcome outcome = RestoreCabinetSet(
            backups.front().Parts, folder, options,
            [&summary](const RestoreProblem& problem) { summary.Problems.push_back(problem); });
        summary.Restored = outcome.Restored;
    }
    std::printf("restored %d failed %zu seconds %.3f\n", summary.Restored, summary.Problems.size(),
                Seconds() - start);
    return summary.Problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 4)
        return Make(argv[2], std::atoi(argv[3]));
    if (mode == "restore" && argc == 5)
        return Restore(argv[2], argv[3], argv[4]);
    // The models want an application (their icons come from its style).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (mode == "open" && argc == 3)
        return Open(argv[2]);
    if (mode == "filter" && argc == 4)
        return Filter(argv[2], argv[3]);
    if (mode == "memory" && argc == 4)
        return Memory(argv[2], argv[3]);
    std::fprintf(stderr, "usage: see the comment at the top of bench_restore.cpp\n");
    return 2;
}
