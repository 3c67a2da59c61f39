// First class of the archive component chain: the archive file name, its default extension and
// the archive type.
#pragma once

#include "archive/model/ArchiveTypes.h"
#include "archive/model/TComponent.h"

#include <string>

class TArchiveBase : public TComponent {
public:
    explicit TArchiveBase(TComponent* owner = nullptr) : TComponent(owner) {}

    const std::string& ArchiveFile() const { return archiveFile_; }
    // Keeps "/" as the separator; appends DefaultExt when the name part has no extension;
    // while loading, a value naming no existing file leaves ArchiveFile empty; clears Cancel.
    virtual void SetArchiveFile(const std::string& value);

    TArcType ArcType() const { return arcType_; }
    // Stores the type.
    virtual void SetArcType(TArcType value);

    const std::string& DefaultExt() const { return defaultExt_; }
    // A value other than "" and "." gets a leading ".", is cut to 4 characters and lower-cased;
    // "" or "." restores ".CAB". An ArchiveFile without extension, or with the previous default
    // extension (compared without case), takes the new one.
    void SetDefaultExt(const std::string& value);

protected:
    // Reserved slot of the chain; does nothing.
    virtual void ReservedArchiveSlot() {}
    // Clears the cancel flag (TZipCommon keeps it).
    virtual void ClearCancelFlag() {}

    std::string archiveFile_;
    TArcType arcType_ = atNA;
    std::string defaultExt_ = ".CAB";
};

// The extension of the name part of `path` ("." included), or "" when it has none.
std::string PathExtension(const std::string& path);
