// Printer data: the published results the plug-ins rely on (types, sizes, codes, access).
#include <cstring>

#include "store_fixture.h"

namespace store_test {
namespace {

constexpr const WCHAR* kProperties = u"PrinterDriverData\\Properties";

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
    std::vector<BYTE> out;
    for (int v : values) out.push_back(static_cast<BYTE>(v));
    return out;
}

TEST_F(StoreTest, ValuesOfEachTypeReadBackExactly) {
    std::vector<BYTE> misc(44);
    for (int i = 0; i < 44; ++i) misc[i] = static_cast<BYTE>(i * 5);
    struct Case {
        const WCHAR* name;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {u"MISC", REG_BINARY, misc},
        {u"MajorVersion", REG_DWORD, Bytes({1, 0, 0, 0})},
        {u"Text", REG_SZ, Bytes({'A', 0, 'b', 0, 0, 0})},
        {u"EndDoc", REG_BINARY, {}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(SetPrinterDataExW(admin, kProperties, c.name, c.type, c.data.data(),
                                    static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS);
    }
    for (const auto& c : cases) {
        DWORD type = 99, needed = 0;
        std::vector<BYTE> buffer(64, 0xEE);
        ASSERT_EQ(GetPrinterDataExW(user, kProperties, c.name, &type, buffer.data(), 64, &needed),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        ASSERT_EQ(needed, c.data.size());
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), buffer.begin()));
    }
}

TEST_F(StoreTest, BufferTooSmallGivesMoreDataWithTheSize) {
    std::vector<BYTE> misc(44, 7);
    ASSERT_EQ(SetPrinterDataExW(admin, kProperties, u"MISC", REG_BINARY, misc.data(), 44), 0u);
    for (DWORD size : {0u, 1u, 43u}) {
        DWORD type = 0, needed = 0;
        std::vector<BYTE> buffer(64, 0);
        EXPECT_EQ(GetPrinterDataExW(user, kProperties, u"MISC", &type,
                                    size ? buffer.data() : nullptr, size, &needed),
                  ERROR_MORE_DATA);
        EXPECT_EQ(needed, 44u);
        EXPECT_EQ(buffer[0], 0) << "nothing is copied into a buffer that is too small";
    }
    DWORD needed = 0;
    std::vector<BYTE> buffer(44);
    EXPECT_EQ(GetPrinterDataExW(user, kProperties, u"MISC", nullptr, buffer.data(), 44, &needed),
              ERROR_SUCCESS);
}

TEST_F(StoreTest, MissingValueOrKeyIsFileNotFound) {
    DWORD one = 1, needed = 0;
    ASSERT_EQ(
        SetPrinterDataExW(admin, kProperties, u"A", REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
        0u);
    BYTE buffer[8];
    EXPECT_EQ(GetPrinterDataExW(user, kProperties, u"MISC", nullptr, buffer, 8, &needed),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        GetPrinterDataExW(user, u"TextKeyFunction", u"NumTextKey", nullptr, buffer, 8, &needed),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeletePrinterDataExW(admin, kProperties, u"MISC"), ERROR_FILE_NOT_FOUND);
}

TEST_F(StoreTest, WritesNeedAdministerAccess) {
    DWORD one = 1;
    const BYTE* data = reinterpret_cast<BYTE*>(&one);
    EXPECT_EQ(SetPrinterDataExW(user, kProperties, u"PAGES", REG_BINARY, data, 2),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetPrinterDataW(user, u"X", REG_DWORD, data, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(DeletePrinterDataExW(user, kProperties, u"PAGES"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(DeletePrinterKeyW(user, kProperties), ERROR_ACCESS_DENIED);
    // The same write through a handle opened with full access works (the plug-ins' retry).
    EXPECT_EQ(SetPrinterDataExW(admin, kProperties, u"PAGES", REG_BINARY, data, 2), 0u);
}

TEST_F(StoreTest, NamesIgnoreCaseAndWritesReplace) {
    DWORD a = 1, b = 0x0102;
    ASSERT_EQ(
        SetPrinterDataExW(admin, kProperties, u"Pages", REG_DWORD, reinterpret_cast<BYTE*>(&a), 4),
        0u);
    ASSERT_EQ(SetPrinterDataExW(admin, u"printerdriverdata\\PROPERTIES", u"PAGES", REG_BINARY,
                                reinterpret_cast<BYTE*>(&b), 2),
              0u);
    DWORD type = 0, needed = 0;
    BYTE buffer[8] = {};
    ASSERT_EQ(GetPrinterDataExW(user, kProperties, u"pages", &type, buffer, 8, &needed), 0u);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(needed, 2u);
    EXPECT_EQ(buffer[0], 2);
    EXPECT_EQ(buffer[1], 1);
}

TEST_F(StoreTest, TopLevelValuesLiveUnderPrinterDriverData) {
    DWORD v = 42, type = 0, needed = 0, out = 0;
    ASSERT_EQ(SetPrinterDataW(admin, u"Top", REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), 0u);
    ASSERT_EQ(GetPrinterDataExW(user, u"PrinterDriverData", u"Top", &type,
                                reinterpret_cast<BYTE*>(&out), 4, &needed),
              0u);
    EXPECT_EQ(out, 42u);
    out = 0;
    ASSERT_EQ(GetPrinterDataW(user, u"Top", &type, reinterpret_cast<BYTE*>(&out), 4, &needed), 0u);
    EXPECT_EQ(out, 42u);
    EXPECT_EQ(type, REG_DWORD);
}

TEST_F(StoreTest, NewPrinterCarriesItsNameUnderDsSpooler) {
    WCHAR name[256] = {};
    DWORD type = 0, needed = 0;
    ASSERT_EQ(GetPrinterDataExW(user, u"DsSpooler", u"printerName", &type,
                                reinterpret_cast<BYTE*>(name), 512, &needed),
              0u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(needed, 4u);  // "P" and the terminator
    EXPECT_EQ(std::u16string(name), u"P");
}

TEST_F(StoreTest, EnumeratesTheValuesOfOneKey) {
    std::vector<BYTE> misc(44, 1);
    DWORD two = 2;
    ASSERT_EQ(SetPrinterDataExW(admin, kProperties, u"MISC", REG_BINARY, misc.data(), 44), 0u);
    ASSERT_EQ(SetPrinterDataExW(admin, kProperties, u"MinorVersion", REG_DWORD,
                                reinterpret_cast<BYTE*>(&two), 4),
              0u);
    ASSERT_EQ(SetPrinterDataExW(admin, u"PrinterDriverData\\Properties\\Sub", u"X", REG_DWORD,
                                reinterpret_cast<BYTE*>(&two), 4),
              0u);
    DWORD needed = 0, count = 7;
    ASSERT_EQ(EnumPrinterDataExW(user, kProperties, nullptr, 0, &needed, &count), ERROR_MORE_DATA);
    EXPECT_EQ(count, 0u);
    std::vector<BYTE> buffer(needed);
    ASSERT_EQ(EnumPrinterDataExW(user, kProperties, buffer.data(), needed, &needed, &count), 0u);
    ASSERT_EQ(count, 2u);
    const auto* values = reinterpret_cast<const PRINTER_ENUM_VALUESW*>(buffer.data());
    EXPECT_EQ(std::u16string(values[0].pValueName), u"MISC");
    EXPECT_EQ(values[0].cbValueName, 10u);
    EXPECT_EQ(values[0].cbData, 44u);
    EXPECT_EQ(values[0].pData[43], 1);
    EXPECT_EQ(std::u16string(values[1].pValueName), u"MinorVersion");
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(values[1].pData), 2u);
    EXPECT_EQ(EnumPrinterDataExW(user, u"NoSuchKey", nullptr, 0, &needed, &count),
              ERROR_FILE_NOT_FOUND);
    // Deleting the key takes its subkeys along.
    ASSERT_EQ(DeletePrinterKeyW(admin, u"PrinterDriverData"), 0u);
    EXPECT_EQ(EnumPrinterDataExW(user, kProperties, nullptr, 0, &needed, &count),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(StoreTest, BadHandlesAndArgumentsAreRefused) {
    DWORD needed = 0;
    BYTE buffer[4];
    int notAHandle = 0;
    EXPECT_EQ(GetPrinterDataExW(&notAHandle, kProperties, u"MISC", nullptr, buffer, 4, &needed),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetPrinterDataExW(user, u"", u"MISC", nullptr, buffer, 4, &needed),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetPrinterDataExW(admin, kProperties, u"MISC", REG_BINARY, nullptr, 4),
              ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace store_test
