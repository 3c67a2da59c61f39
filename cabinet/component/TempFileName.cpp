#include "cabinet/component/TempFileName.h"

#include "platform/fs/FileSystem.h"

namespace fs = ostrivane::fs;

std::string MakeTempFileName(const std::string& Folder) {
    std::string folder = !Folder.empty() && fs::IsDirectory(Folder) ? Folder : fs::SystemTempPath();
    if (folder.empty()) {
        return {};
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    if (!fs::IsDirectory(folder)) {
        fs::CreateDirectories(folder);
    }
    return fs::CreateUniqueTempFile(folder, "vrk").value_or(std::string());
}
