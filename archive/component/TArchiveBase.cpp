// Archive file name, default extension and archive type.
#include "archive/component/TArchiveBase.h"

#include "platform/fs/FileSystem.h"
#include "platform/fs/Paths.h"

#include <algorithm>

namespace {

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return LowerAscii(a) == LowerAscii(b);
}

} // namespace

std::string PathExtension(const std::string& path) {
    const std::string name = ostrivane::fs::NameOf(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

void TArchiveBase::SetArchiveFile(const std::string& value) {
    if (IsLoading() && !ostrivane::fs::IsRegularFile(value)) {
        archiveFile_.clear();
    } else if (value.empty() || !PathExtension(value).empty()) {
        archiveFile_ = value;
    } else {
        archiveFile_ = value + defaultExt_;
    }
    ClearCancelFlag();
}

void TArchiveBase::SetArcType(TArcType value) {
    arcType_ = value;
}

void TArchiveBase::SetDefaultExt(const std::string& value) {
    std::string previous = defaultExt_;
    if (value.empty() || value == ".") {
        defaultExt_ = ".CAB";
    } else {
        std::string ext = value[0] == '.' ? value : "." + value;
        defaultExt_ = LowerAscii(ext.substr(0, 4));
    }
    if (archiveFile_.empty())
        return;
    std::string ext = PathExtension(archiveFile_);
    if (ext.empty())
        archiveFile_ += defaultExt_;
    else if (EqualNoCase(ext, previous))
        archiveFile_ = archiveFile_.substr(0, archiveFile_.size() - ext.size()) + defaultExt_;
}
