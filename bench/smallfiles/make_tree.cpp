// make_tree TREE FILES [SEED] - fills TREE with FILES text files of 0.5 to 4 kB (about 2.3 kB on
// average), 100 to a folder, in folders of 100 folders: words drawn from a small vocabulary, so
// that the files compress as prose does. The same FILES and SEED give the same tree byte for byte.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 48> kWords = {
    "the",      "backup",  "file",    "folder",  "of",      "and",     "a",        "cabinet",
    "is",       "to",      "written", "read",    "in",      "every",   "block",    "with",
    "data",     "archive", "time",    "on",      "disk",    "copy",    "each",     "run",
    "restore",  "name",    "size",    "it",      "not",     "what",    "was",      "when",
    "program",  "user",    "window",  "list",    "report",  "change",  "from",     "by",
    "document", "letter",  "invoice", "summary", "meeting", "project", "schedule", "notes"};

// A small generator of its own, so that the tree is the same on every system.
struct Random {
    std::uint64_t state;
    std::uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 33);
    }
};

bool WriteFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool whole = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && whole;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_tree TREE FILES [SEED]\n");
        return 2;
    }
    const std::string root = argv[1];
    const long files = std::atol(argv[2]);
    Random random{argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1};
    ::mkdir(root.c_str(), 0755);
    std::string text;
    for (long i = 0; i < files; ++i) {
        const std::string top = root + "/t" + std::to_string(i / 10000);
        const std::string folder = top + "/d" + std::to_string(i / 100 % 100);
        if (i % 10000 == 0)
            ::mkdir(top.c_str(), 0755);
        if (i % 100 == 0)
            ::mkdir(folder.c_str(), 0755);
        const std::size_t size = 512 + random.Next() % 3585;
        text.clear();
        while (text.size() < size) {
            text += kWords[random.Next() % kWords.size()];
            text += random.Next() % 12 == 0 ? ".\n" : " ";
        }
        text.resize(size);
        if (!WriteFile(folder + "/f" + std::to_string(i) + ".txt", text)) {
            std::perror(root.c_str());
            return 1;
        }
    }
    return 0;
}
