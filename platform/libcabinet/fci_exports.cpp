// The five entry points with C linkage. No C++ exception leaves them: failures become ERF.
#include "platform/fci/fci.h"
#include "platform/libcabinet/fci_context.h"

#include <new>

using ostrivane::cabinet::FciCallbacks;
using ostrivane::cabinet::FciContext;
using ostrivane::cabinet::FciFailure;
using ostrivane::cabinet::kFciFalse;
using ostrivane::cabinet::kFciTrue;

namespace {

void reportFailure(ERF* erf, FCIERROR code, int osError) {
    erf->erfOper = code;
    erf->erfType = osError;
    erf->fError = kFciTrue;
}

FciContext* contextOf(HFCI hfci) {
    auto* context = static_cast<FciContext*>(hfci);
    return context != nullptr && context->isValid() ? context : nullptr;
}

} // namespace

extern "C" {

FCI_EXPORT HFCI FCICreate(ERF* perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf,
                          PFNFCIOPEN pfnopen, PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite,
                          PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek, PFNFCIDELETE pfndelete,
                          PFNFCIGETTEMPFILE pfnfcigtf, CCAB* pccab, void* pv) {
    if (perf == nullptr) {
        return nullptr;
    }
    if (pfnfcifp == nullptr || pfna == nullptr || pfnf == nullptr || pfnopen == nullptr ||
        pfnread == nullptr || pfnwrite == nullptr || pfnclose == nullptr || pfnseek == nullptr ||
        pfndelete == nullptr || pfnfcigtf == nullptr || pccab == nullptr) {
        reportFailure(perf, FCIERR_CAB_FILE, 0);
        return nullptr;
    }
    void* memory = pfna(sizeof(FciContext));
    if (memory == nullptr) {
        reportFailure(perf, FCIERR_ALLOC_FAIL, 0);
        return nullptr;
    }
    const FciCallbacks callbacks{pfnfcifp, pfna,     pfnf,    pfnopen,   pfnread,
                                 pfnwrite, pfnclose, pfnseek, pfndelete, pfnfcigtf};
    try {
        return new (memory) FciContext(perf, callbacks, *pccab, pv);
    } catch (const FciFailure& failure) {
        reportFailure(perf, failure.code, failure.osError);
    } catch (const std::bad_alloc&) {
        reportFailure(perf, FCIERR_ALLOC_FAIL, 0);
    } catch (...) {
        reportFailure(perf, FCIERR_ALLOC_FAIL, 0);
    }
    pfnf(memory);
    return nullptr;
}

FCI_EXPORT FCI_BOOL FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, FCI_BOOL fExecute,
                               PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis,
                               PFNFCIGETOPENINFO pfnfcigoi, TCOMP typeCompress) {
    FciContext* context = contextOf(hfci);
    return context != nullptr && context->addFile(pszSourceFile, pszFileName, fExecute != 0,
                                                  pfnfcignc, pfnfcis, pfnfcigoi, typeCompress);
}

FCI_EXPORT FCI_BOOL FCIFlushCabinet(HFCI hfci, FCI_BOOL fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc,
                                    PFNFCISTATUS pfnfcis) {
    FciContext* context = contextOf(hfci);
    return context != nullptr && context->flushCabinet(fGetNextCab != 0, pfnfcignc, pfnfcis);
}

FCI_EXPORT FCI_BOOL FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET /*pfnfcignc*/,
                                   PFNFCISTATUS pfnfcis) {
    // Closing a folder never grows the cabinet past its limit (the partial block was counted
    // at its largest when its files were placed), so no next cabinet is ever asked for here.
    FciContext* context = contextOf(hfci);
    return context != nullptr && context->flushFolder(pfnfcis);
}

FCI_EXPORT FCI_BOOL FCIDestroy(HFCI hfci) {
    FciContext* context = contextOf(hfci);
    if (context == nullptr) {
        return kFciFalse;
    }
    const PFNFCIFREE release = context->freeFunction();
    context->invalidate();
    context->~FciContext();
    release(context);
    return kFciTrue;
}
}
