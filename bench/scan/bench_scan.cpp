// bench_scan make TREE FOLDERS FILES  - creates FILES small files spread over FOLDERS folders
// bench_scan scan TREE                - one engine scan of TREE/*.* with subfolders, through the
//                                       component's entry handler, without compression; prints
//                                       the entries found and the seconds taken
#include "archive/component/TCabInterface.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A cabinet component that takes every entry without writing anything.
class ScanOnlyCab : public TCabInterface {
public:
    void CompressFile(TStream*, int, bool& done, TCompHeaderObj&) override { done = true; }
};

int MakeTree(const std::string& root, int folders, int files) {
    ::mkdir(root.c_str(), 0755);
    const int top = 50;
    int perTop = folders / top - 1; // each top folder holds perTop subfolders
    std::vector<std::string> leaves;
    for (int t = 0; t < top; ++t) {
        std::string a = root + "/top" + std::to_string(t);
        ::mkdir(a.c_str(), 0755);
        leaves.push_back(a);
        for (int s = 0; s < perTop; ++s) {
            std::string b = a + "/sub" + std::to_string(s);
            ::mkdir(b.c_str(), 0755);
            leaves.push_back(b);
        }
    }
    for (int i = 0; i < files; ++i) {
        std::string path = leaves[static_cast<std::size_t>(i) % leaves.size()] + "/file" +
                           std::to_string(i) + ".dat";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return 1;
        if (::write(fd, "content\n", 8) != 8) {
            ::close(fd);
            return 1;
        }
        ::close(fd);
    }
    std::printf("folders %zu files %d\n", leaves.size(), files);
    return 0;
}

int ScanTree(const std::string& root) {
    std::string out = root + ".out";
    ::mkdir(out.c_str(), 0755);
    ScanOnlyCab cab;
    cab.SetArchiveFile(out + "/bench.cab");
    cab.SetRecurseDirs(true);
    cab.FileSpec() = {root + "/*.*"};
    auto start = std::chrono::steady_clock::now();
    int added = cab.Compress();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::rmdir(out.c_str());
    std::printf("entries %d seconds %.4f\n", added, seconds);
    return added > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::string(argv[1]) == "make")
        return MakeTree(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc >= 3 && std::string(argv[1]) == "scan")
        return ScanTree(argv[2]);
    std::fprintf(stderr, "usage: bench_scan make TREE FOLDERS FILES | bench_scan scan TREE\n");
    return 2;
}
