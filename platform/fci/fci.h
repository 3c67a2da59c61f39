// The File Compression Interface of libcabinet.so: the records, the callback types and the five
// entry points, with C linkage, as the cabinet library of the Windows platform offers them.
// Integer widths are fixed to the Windows ones so that CCAB keeps its packed 802-byte layout.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

using FCI_BOOL = int;
using FCI_ULONG = std::uint32_t;
using FCI_UINT = std::uint32_t;
using FCI_USHORT = std::uint16_t;
using FCI_INT_PTR = std::intptr_t;
using TCOMP = std::uint16_t;
using HFCI = void*;

inline constexpr TCOMP tcompMASK_TYPE = 0x000F;
inline constexpr TCOMP tcompTYPE_NONE = 0x0000;
inline constexpr TCOMP tcompTYPE_MSZIP = 0x0001;
inline constexpr TCOMP tcompTYPE_QUANTUM = 0x0002;
inline constexpr TCOMP tcompTYPE_LZX = 0x0003;

inline constexpr FCI_ULONG CB_MAX_DISK = 0x7FFFFFFF;
inline constexpr int CB_MAX_DISK_NAME = 256;
inline constexpr int CB_MAX_CABINET_NAME = 256;
inline constexpr int CB_MAX_CAB_PATH = 256;
inline constexpr int CB_MAX_FILENAME = 256;

// Error record filled by the library: erfOper holds an FCIERROR, erfType the C run-time error
// (errno-like) where there is one, fError is true after any failure.
struct ERF {
    int erfOper;
    int erfType;
    FCI_BOOL fError;
};

enum FCIERROR : int {
    FCIERR_NONE = 0,
    FCIERR_OPEN_SRC = 1,
    FCIERR_READ_SRC = 2,
    FCIERR_ALLOC_FAIL = 3,
    FCIERR_TEMP_FILE = 4,
    FCIERR_BAD_COMPR_TYPE = 5,
    FCIERR_CAB_FILE = 6,
    FCIERR_USER_ABORT = 7,
    FCIERR_MCI_FAIL = 8,
    FCIERR_CAB_FORMAT_LIMIT = 9,
};

#pragma pack(push, 1)
struct CCAB {
    FCI_ULONG cb;             // largest size of one cabinet
    FCI_ULONG cbFolderThresh; // folder size after which a new folder is started
    FCI_UINT cbReserveCFHeader;
    FCI_UINT cbReserveCFFolder;
    FCI_UINT cbReserveCFData;
    int iCab;
    int iDisk;
    int fFailOnIncompressible;
    FCI_USHORT setID;
    char szDisk[CB_MAX_DISK_NAME];
    char szCab[CB_MAX_CABINET_NAME];
    char szCabPath[CB_MAX_CAB_PATH];
};
#pragma pack(pop)
static_assert(sizeof(CCAB) == 802, "CCAB must keep its packed Windows layout");

// Values of typeStatus for the status callback.
inline constexpr FCI_UINT statusFile = 0;    // cb1: compressed block size, cb2: uncompressed size
inline constexpr FCI_UINT statusFolder = 1;  // cb1: bytes of the folder copied, cb2: folder size
inline constexpr FCI_UINT statusCabinet = 2; // cb1: estimated cabinet size, cb2: actual size

// File attributes passed through the get-open-info callback.
inline constexpr FCI_USHORT _A_RDONLY = 0x01;
inline constexpr FCI_USHORT _A_HIDDEN = 0x02;
inline constexpr FCI_USHORT _A_SYSTEM = 0x04;
inline constexpr FCI_USHORT _A_ARCH = 0x20;
inline constexpr FCI_USHORT _A_EXEC = 0x40;
inline constexpr FCI_USHORT _A_NAME_IS_UTF = 0x80;

// Open flags of the C run-time's _open, which the open callback receives.
inline constexpr int FCI_O_RDONLY = 0x0000;
inline constexpr int FCI_O_WRONLY = 0x0001;
inline constexpr int FCI_O_RDWR = 0x0002;
inline constexpr int FCI_O_APPEND = 0x0008;
inline constexpr int FCI_O_CREAT = 0x0100;
inline constexpr int FCI_O_TRUNC = 0x0200;
inline constexpr int FCI_O_EXCL = 0x0400;
inline constexpr int FCI_O_BINARY = 0x8000;
inline constexpr int FCI_S_IREAD = 0x0100;
inline constexpr int FCI_S_IWRITE = 0x0080;

using PFNFCIFILEPLACED = int (*)(CCAB* pccab, char* pszFile, long cbFile, FCI_BOOL fContinuation,
                                 void* pv);
using PFNFCIALLOC = void* (*)(FCI_ULONG cb);
using PFNFCIFREE = void (*)(void* memory);
using PFNFCIOPEN = FCI_INT_PTR (*)(char* pszFile, int oflag, int pmode, int* err, void* pv);
using PFNFCIREAD = FCI_UINT (*)(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv);
using PFNFCIWRITE = FCI_UINT (*)(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv);
using PFNFCICLOSE = int (*)(FCI_INT_PTR hf, int* err, void* pv);
using PFNFCISEEK = long (*)(FCI_INT_PTR hf, long dist, int seektype, int* err, void* pv);
using PFNFCIDELETE = int (*)(char* pszFile, int* err, void* pv);
using PFNFCIGETTEMPFILE = FCI_BOOL (*)(char* pszTempName, int cbTempName, void* pv);
using PFNFCIGETNEXTCABINET = FCI_BOOL (*)(CCAB* pccab, FCI_ULONG cbPrevCab, void* pv);
using PFNFCISTATUS = long (*)(FCI_UINT typeStatus, FCI_ULONG cb1, FCI_ULONG cb2, void* pv);
using PFNFCIGETOPENINFO = FCI_INT_PTR (*)(char* pszName, FCI_USHORT* pdate, FCI_USHORT* ptime,
                                          FCI_USHORT* pattribs, int* err, void* pv);

#if defined(OSTRIVANE_CABINET_BUILD)
#define FCI_EXPORT __attribute__((visibility("default")))
#else
#define FCI_EXPORT
#endif

FCI_EXPORT HFCI FCICreate(ERF* perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf,
                          PFNFCIOPEN pfnopen, PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite,
                          PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek, PFNFCIDELETE pfndelete,
                          PFNFCIGETTEMPFILE pfnfcigtf, CCAB* pccab, void* pv);
FCI_EXPORT FCI_BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName,
                               FCI_BOOL fExecute, PFNFCIGETNEXTCABINET pfnfcignc,
                               PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi,
                               TCOMP typeCompress);
FCI_EXPORT FCI_BOOL FCIFlushCabinet(HFCI hfci, FCI_BOOL fGetNextCab,
                                    PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis);
FCI_EXPORT FCI_BOOL FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc,
                                   PFNFCISTATUS pfnfcis);
FCI_EXPORT FCI_BOOL FCIDestroy(HFCI hfci);

// Types of the five entry points, for the run-time binding.
using PFN_FCICreate = decltype(&FCICreate);
using PFN_FCIAddFile = decltype(&FCIAddFile);
using PFN_FCIFlushCabinet = decltype(&FCIFlushCabinet);
using PFN_FCIFlushFolder = decltype(&FCIFlushFolder);
using PFN_FCIDestroy = decltype(&FCIDestroy);
}
