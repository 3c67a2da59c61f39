// Plain POSIX callbacks for driving the FCI entry points directly (the test harness of the
// cabinet library and the packing benchmark): file handles are descriptors, errors are errno.
#pragma once

#include "platform/fci/fci.h"

#include <string>

namespace testsupport::posixfci {

// FCI_O_* flags as open(2) flags (close-on-exec added).
int OpenFlags(int fciFlags);

void* Alloc(FCI_ULONG cb);
void Free(void* memory);
FCI_INT_PTR Open(char* file, int flags, int mode, int* err, void* pv);
FCI_UINT Read(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv);
FCI_UINT Write(FCI_INT_PTR hf, void* memory, FCI_UINT cb, int* err, void* pv);
int Close(FCI_INT_PTR hf, int* err, void* pv);
long Seek(FCI_INT_PTR hf, long distance, int origin, int* err, void* pv);
int Remove(char* file, int* err, void* pv);

// Makes an empty temporary file in `folder` and puts its name into `name` (room for `size`
// bytes); false when it cannot.
bool MakeTempFile(const std::string& folder, char* name, int size);

} // namespace testsupport::posixfci
