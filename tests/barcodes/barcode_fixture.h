// Shared pieces of the barcode unit tests: a device state loaded with the driver's default
// barcode records, and a text buffer the way the device-font dispatcher hands it over.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "barcodes.h"
#include "log_capture.h"
#include "test_support.h"
#include "win32/heap.h"

// The default records the device state loads when the printer data holds none.
inline void LoadDefaultBarcodeRecords(OEMPDEV& pdev) {
    for (DWORD i = 0; i < kBarcodeRecords; ++i) {
        BYTE* record = pdev.UIInfo.BarcodeInfo + i * kBarcodeRecordBytes;
        record[0] = static_cast<BYTE>(i);
        record[1] = 3;
        record[2] = 50;
        record[3] = 0;
        record[4] = 0;
    }
    static constexpr BYTE kCommon[kCodeDataRecordBytes - 1] = {
        0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x01, 0x03, 0x00, 0x34,
        0x03, 0x32, 0x02, 0x02, 0x20, 0x02, 0x02, 0x31, 0x00};
    static constexpr BYTE kKinds[kCodeDataRecords] = {0, 1, 2, 3, 4, 0, 1, 2};
    for (DWORD i = 0; i < kCodeDataRecords; ++i) {
        BYTE* record = pdev.UIInfo.CodeData + i * kCodeDataRecordBytes;
        record[0] = kKinds[i];
        std::memcpy(record + 1, kCommon, sizeof(kCommon));
    }
}

inline std::string Hex(const BYTE* bytes, size_t length) {
    return testing_support::ToHex(std::string(reinterpret_cast<const char*>(bytes), length));
}
inline std::string Hex(const std::string& bytes) {
    return testing_support::ToHex(bytes);
}

// The outcome of one barcode build.
struct Built {
    DWORD result = 0;
    std::string fieldA;
    std::string fieldB;
    DWORD height = 0;
};

// Runs a builder the way the dispatcher does: the text in a buffer of 4 x glyphs + 1028 bytes
// (or the given size), the command freed afterwards.
template <typename Builder>
Built Build(Builder builder, OEMPDEV* pdev, const char* font, const std::string& text, DWORD type,
            DWORD x, float rate, DWORD bufferSize = 0, DWORD height = 24) {
    if (bufferSize == 0) {
        bufferSize = static_cast<DWORD>(4 * text.size() + 1028);
    }
    std::vector<BYTE> buffer(bufferSize, 0);
    std::memcpy(buffer.data(), text.data(), std::min<size_t>(text.size(), bufferSize));
    DWORD length = static_cast<DWORD>(text.size());
    PBYTE command = nullptr;
    Built built;
    built.height = height;
    built.result = builder(pdev, &command, font, buffer.data(), &length, bufferSize, type,
                           &built.height, x, rate);
    if (built.result != 0) {
        built.fieldA.assign(reinterpret_cast<const char*>(command), built.result);
        built.fieldB.assign(reinterpret_cast<const char*>(buffer.data()), length);
    }
    LocalFree(command);
    return built;
}
