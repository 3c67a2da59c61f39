#include "FuzzScratch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace fuzzing {

namespace {

class Folder {
public:
    Folder() {
        // A memory file system when there is one: the settings layer syncs every file it
        // replaces, which would otherwise cost more than the rest of an input.
        const char* tmp = std::getenv("TMPDIR");
        std::string base = tmp && *tmp ? tmp : "/tmp";
        if (::access("/dev/shm", W_OK) == 0)
            base = "/dev/shm";
        std::string pattern = base + "/ostrivane-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr)
            Fail("cannot make a scratch folder");
        path_ = buffer.data();
    }
    ~Folder() { RemoveTree(path_); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace

const std::string& ScratchFolder() {
    static Folder folder;
    return folder.Path();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fail("cannot write " + path);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzzing
