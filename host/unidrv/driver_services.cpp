// The host's driver services: spooler writes and the job's current options.
#include <cstring>

#include "unidrv_host.h"

namespace unidrv {

HRESULT DriverServices::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintOemDriverUni)) {
        *ppv = static_cast<IPrintOemDriverUni*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG DriverServices::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

// The host owns this object; a count of 0 only means that no plug-in holds it.
ULONG DriverServices::Release() {
    return static_cast<ULONG>(InterlockedDecrement(&m_cRef));
}

// DrvGetDriverSetting: the current option of "InputBin" or "Orientation" as terminated text.
HRESULT DriverServices::DrvGetDriverSetting(PVOID /*pdriverobj*/, PCSTR Feature, PVOID pOutput,
                                            DWORD cbSize, PDWORD pcbNeeded,
                                            PDWORD pdwOptionsReturned) {
    if (failDriverSetting) {
        SetLastError(driverSettingError);
        return E_FAIL;
    }
    if (Feature == nullptr || pcbNeeded == nullptr || pdwOptionsReturned == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_INVALIDARG;
    }
    const std::string* option = nullptr;
    if (std::strcmp(Feature, "InputBin") == 0) {
        option = &options.inputBin;
    } else if (std::strcmp(Feature, "Orientation") == 0) {
        option = &options.orientation;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_INVALIDARG;
    }
    const auto needed = static_cast<DWORD>(option->size() + 1);
    *pcbNeeded = needed;
    if (pOutput == nullptr || cbSize < needed) {
        *pdwOptionsReturned = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return E_OUTOFMEMORY;
    }
    std::memcpy(pOutput, option->c_str(), needed);
    *pdwOptionsReturned = 1;
    return S_OK;
}

// DrvWriteSpoolBuf: appends to the job's data stream (up to maxBytesPerWrite per call).
HRESULT DriverServices::DrvWriteSpoolBuf(PDEVOBJ /*pdevobj*/, PVOID pBuffer, DWORD cbSize,
                                         DWORD* pdwResult) {
    if (pdwResult != nullptr) {
        *pdwResult = 0;
    }
    if (pdwResult == nullptr || (pBuffer == nullptr && cbSize != 0)) {
        return E_INVALIDARG;
    }
    writeSizes.push_back(cbSize);
    if (failWrites) {
        return E_FAIL;
    }
    DWORD count = cbSize;
    if (maxBytesPerWrite != 0 && count > maxBytesPerWrite) {
        count = maxBytesPerWrite;
    }
    const auto* bytes = static_cast<const BYTE*>(pBuffer);
    if (sink) {
        count = sink(bytes, count);
    } else if (count != 0) {
        spooled.append(reinterpret_cast<const char*>(bytes), count);
    }
    *pdwResult = count;
    return S_OK;
}

HRESULT DriverServices::DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*) {
    return E_NOTIMPL;
}
HRESULT DriverServices::DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*) {
    return E_NOTIMPL;
}
HRESULT DriverServices::DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) {
    return E_NOTIMPL;
}
HRESULT DriverServices::DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) {
    return E_NOTIMPL;
}
HRESULT DriverServices::DrvUniTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                      BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) {
    return E_NOTIMPL;
}
HRESULT DriverServices::DrvWriteAbortBuf(PDEVOBJ, PVOID, DWORD, DWORD) {
    return E_NOTIMPL;
}

}  // namespace unidrv
