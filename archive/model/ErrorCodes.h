// Error codes of the archive engine and their fixed English message texts.
#pragma once

#include <string>

inline constexpr int kErrWritingFile = 25136;       // "Error writing to file"
inline constexpr int kErrDiskFull = 25160;          // "Disk full"
inline constexpr int kErrNotAccessible = 25170;     // "is not accessible"
inline constexpr int kErrWriteProtected = 25171;    // "disk is write protected"
inline constexpr int kErrFileTooLarge = 25181;      // "File too large for a cabinet"
inline constexpr int kErrNameNotStorable = 25182;   // "File name cannot be stored in a cabinet"
inline constexpr int kErrVerifyFailed = 25183;      // "Archive failed verification"
inline constexpr int kErrFileChanged = 25184;       // "File changed while it was read"
inline constexpr int kErrOpeningFile = 25235;       // "Error opening file"
inline constexpr int kErrUnsupportedArc = 25243;    // "Invalid or unsupported archive type ..."
inline constexpr int kErrCabinetDllMissing = 25261; // "Cabinet.dll not found"
inline constexpr int kErrNothingToDo = 25268;       // "Nothing to do"
inline constexpr int kErrRequiredEvent = 25270;     // "Required event not assigned"
inline constexpr int kErrRequiredProperty = 25271;  // "Required property not assigned"
inline constexpr int kErrUserCanceled = 25443;      // "User canceled"

// The message text of `code`; "Error " + the number for a code that has no text.
std::string ErrorText(int code);
