// Message texts of the engine's error codes.
#include "archive/model/ErrorCodes.h"

std::string ErrorText(int code) {
    switch (code) {
    case kErrWritingFile:
        return "Error writing to file";
    case kErrDiskFull:
        return "Disk full";
    case kErrNotAccessible:
        return "is not accessible";
    case kErrWriteProtected:
        return "disk is write protected";
    case kErrFileTooLarge:
        return "File too large for a cabinet";
    case kErrNameNotStorable:
        return "File name cannot be stored in a cabinet";
    case kErrVerifyFailed:
        return "Archive failed verification";
    case kErrFileChanged:
        return "File changed while it was read";
    case kErrOpeningFile:
        return "Error opening file";
    case kErrUnsupportedArc:
        return "Invalid or unsupported archive type for this operation";
    case kErrCabinetDllMissing:
        return "Cabinet.dll not found";
    case kErrNothingToDo:
        return "Nothing to do";
    case kErrRequiredEvent:
        return "Required event not assigned";
    case kErrRequiredProperty:
        return "Required property not assigned";
    case kErrUserCanceled:
        return "User canceled";
    default:
        return "Error " + std::to_string(code);
    }
}
