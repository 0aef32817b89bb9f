// File handles and operations on names: dispositions, error codes, read-only files, the
// handle table.
#include <gtest/gtest.h>

#include "files_test_util.h"
#include "win32/clock.h"
#include "win32/paths.h"

namespace fs = std::filesystem;
using files_test::Open;
using files_test::ReadAll;
using files_test::W;
using files_test::WriteAll;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir()); }
    fs::path dir() const { return root.path() / "Windows" / "LBR-KV580"; }
    testing_support::TempRoot root;
};

struct DispositionCase {
    const char* name;
    bool exists;
    DWORD disposition;
    bool opens;
    DWORD error;
    const char* contentAfter;  // nullptr: no file
};

TEST_F(FilesTest, DispositionsAndTheirErrorCodes) {
    const DispositionCase cases[] = {
        {"create new, missing", false, CREATE_NEW, true, ERROR_SUCCESS, ""},
        {"create new, existing", true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
        {"create always, missing", false, CREATE_ALWAYS, true, ERROR_SUCCESS, ""},
        {"create always, existing", true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
        {"open existing, missing", false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"open existing, existing", true, OPEN_EXISTING, true, ERROR_SUCCESS, "old"},
        {"open always, missing", false, OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
        {"open always, existing", true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
        {"truncate, missing", false, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"truncate, existing", true, TRUNCATE_EXISTING, true, ERROR_SUCCESS, ""},
        {"bad disposition", true, 9, false, ERROR_INVALID_PARAMETER, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path file = dir() / "case.bin";
        fs::remove(file);
        if (c.exists) WriteFile(file, "old");
        SetLastError(12345);
        HANDLE h = Open("C:\\WINDOWS\\lbr-kv580\\case.bin", GENERIC_READ | GENERIC_WRITE, 0,
                        c.disposition);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_NE(h, nullptr);
            EXPECT_TRUE(CloseHandle(h));
        }
        EXPECT_EQ(fs::exists(file), c.contentAfter != nullptr);
        if (c.contentAfter) {
            EXPECT_EQ(ReadFile(file), c.contentAfter);
        }
    }
}

TEST_F(FilesTest, OpenFailuresNameTheirCause) {
    struct Case {
        const char* name;
        DWORD access;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {"C:\\NoFolder\\x.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"C:\\Windows\\NoFolder\\x.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"C:\\Windows", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"D:\\x.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {"C:\\..\\x.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {"C:\\Temp\\x.txt", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Open(c.name, c.access, 0, c.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fs::exists(root.path() / ".." / "x.txt"));
}

TEST_F(FilesTest, ReadWriteAndThePointer) {
    HANDLE h =
        Open("C:\\Windows\\LBR-KV580\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteAll(h, std::string("\x1B\x40hello\0world", 13)));
    EXPECT_EQ(GetFileSize(h, nullptr), 13u);
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 13);

    // At the end: success with 0 bytes.
    char buffer[8];
    DWORD got = 99;
    EXPECT_TRUE(::ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);

    EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
    EXPECT_TRUE(::ReadFile(h, buffer, 5, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "hello");
    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 8u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 8u);
    EXPECT_EQ(SetFilePointer(h, -9, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(h, 3, &high, FILE_BEGIN), 3u);
    EXPECT_EQ(GetLastError(), NO_ERROR);
    EXPECT_EQ(high, 0);
    LARGE_INTEGER to{}, now{};
    to.QuadPart = 7;
    EXPECT_TRUE(SetFilePointerEx(h, to, &now, FILE_BEGIN));
    EXPECT_EQ(now.QuadPart, 7);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(ReadAll(h), std::string("\x1B\x40hello", 7));
    EXPECT_TRUE(FlushFileBuffers(h));

    FILETIME created{}, written{}, clock{};
    EXPECT_TRUE(GetFileTime(h, &created, nullptr, &written));
    GetSystemTimeAsFileTime(&clock);
    auto ticks = [](FILETIME t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    EXPECT_LT(ticks(clock) - ticks(written), 600000000ull);  // within a minute
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(FilesTest, HandlesDoOnlyWhatTheirAccessAllows) {
    WriteFile(dir() / "a.txt", "abc");
    HANDLE reader = Open("C:\\Windows\\LBR-KV580\\a.txt", GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    DWORD put = 7;
    EXPECT_FALSE(::WriteFile(reader, "x", 1, &put, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(put, 0u);
    EXPECT_FALSE(SetEndOfFile(reader));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    HANDLE writer = Open("C:\\Windows\\LBR-KV580\\a.txt", GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    char c;
    DWORD got = 0;
    EXPECT_FALSE(::ReadFile(writer, &c, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(reader);
    CloseHandle(writer);

    // FILE_APPEND_DATA alone writes at the end whatever the pointer says.
    HANDLE appender =
        Open("C:\\Windows\\LBR-KV580\\a.txt", FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(appender, INVALID_HANDLE_VALUE);
    SetFilePointer(appender, 0, nullptr, FILE_BEGIN);
    EXPECT_TRUE(WriteAll(appender, "def"));
    CloseHandle(appender);
    EXPECT_EQ(ReadFile(dir() / "a.txt"), "abcdef");
}

TEST_F(FilesTest, ReadOnlyFilesRefuseWritingAndDeletion) {
    WriteFile(dir() / "ro.txt", "keep");
    const char16_t* name = u"C:\\Windows\\LBR-KV580\\ro.txt";
    EXPECT_EQ(GetFileAttributesW(name), FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(SetFileAttributesW(name, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(name), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);

    for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        SCOPED_TRACE(disposition);
        EXPECT_EQ(CreateFileW(name, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(DeleteFileW(name));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileW(u"C:\\Windows\\LBR-KV580\\ro.txt", name, FALSE));
    HANDLE reader =
        CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(reader), "keep");
    CloseHandle(reader);

    ASSERT_TRUE(SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(name), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_TRUE(DeleteFileW(name));

    // A new file made read-only stays writable through the handle that made it.
    HANDLE maker =
        CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(maker, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteAll(maker, "new"));
    CloseHandle(maker);
    EXPECT_EQ(ReadFile(dir() / "ro.txt"), "new");
    EXPECT_TRUE(GetFileAttributesW(name) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesTest, AttributesAndFolders) {
    EXPECT_EQ(GetFileAttributesW(u"C:\\WINDOWS"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(u"C:\\Windows\\missing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("C:\\NoSuch\\missing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("Z:\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    EXPECT_TRUE(CreateDirectoryW(u"C:\\Windows\\temp\\LBR-KV580", nullptr));
    EXPECT_TRUE(fs::is_directory(root.path() / "Windows" / "temp" / "LBR-KV580"));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\windows\\TEMP\\lbr-kv580", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA("C:\\No\\Such", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    WriteFile(root.path() / "Windows" / "temp" / "LBR-KV580" / "x.LOG", "1");
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\Windows\\temp\\LBR-KV580"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\Windows\\temp\\LBR-KV580\\x.LOG"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(DeleteFileW(u"C:\\Windows\\temp\\LBR-KV580"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFileW(u"C:\\Windows\\temp\\LBR-KV580\\X.log"));
    EXPECT_FALSE(DeleteFileW(u"C:\\Windows\\temp\\LBR-KV580\\X.log"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RemoveDirectoryA("C:\\Windows\\temp\\LBR-KV580"));
    EXPECT_FALSE(RemoveDirectoryA("C:\\Windows\\temp\\LBR-KV580"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(RemoveDirectoryA("C:\\"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FilesTest, CopyFile) {
    WriteFile(dir() / "20170510_064527.jnl", std::string("\x1B\x40job\x00\xFF", 7));
    const char16_t* journal = u"C:\\Windows\\LBR-KV580\\20170510_064527.jnl";
    const char16_t* preview = u"C:\\Windows\\LBR-KV580\\OVXPreview.prn";
    ASSERT_TRUE(CopyFileW(journal, preview, FALSE));
    EXPECT_EQ(ReadFile(dir() / "OVXPreview.prn"), std::string("\x1B\x40job\x00\xFF", 7));
    EXPECT_EQ(fs::last_write_time(dir() / "OVXPreview.prn"),
              fs::last_write_time(dir() / "20170510_064527.jnl"));

    EXPECT_FALSE(CopyFileW(journal, preview, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    WriteFile(dir() / "20170510_064527.jnl", "second");
    EXPECT_TRUE(CopyFileW(journal, preview, FALSE));  // replaces
    EXPECT_EQ(ReadFile(dir() / "OVXPreview.prn"), "second");

    EXPECT_FALSE(CopyFileA("C:\\Windows\\LBR-KV580\\none.jnl", "C:\\Temp\\x", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CopyFileA("C:\\Windows\\LBR-KV580\\OVXPreview.prn", "C:\\No\\x", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CopyFileA("C:\\Windows\\LBR-KV580\\OVXPreview.prn", "D:\\x", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // Onto itself: refused, the content survives.
    EXPECT_FALSE(CopyFileW(preview, u"c:\\windows\\lbr-kv580\\ovxpreview.prn", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadFile(dir() / "OVXPreview.prn"), "second");

    // The target held open by another (the preview application) cannot be replaced.
    HANDLE held =
        CreateFileW(preview, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CopyFileW(journal, preview, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(held);
}

TEST_F(FilesTest, MoveFile) {
    WriteFile(dir() / "a.txt", "A");
    WriteFile(dir() / "b.txt", "B");
    EXPECT_FALSE(MoveFileW(u"C:\\Windows\\LBR-KV580\\a.txt", u"C:\\Windows\\LBR-KV580\\b.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExW(u"C:\\Windows\\LBR-KV580\\a.txt", u"C:\\Windows\\LBR-KV580\\B.TXT",
                            MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(fs::exists(dir() / "a.txt"));
    EXPECT_EQ(ReadFile(dir() / "b.txt"), "A");
    EXPECT_TRUE(MoveFileA("C:\\Windows\\LBR-KV580\\b.txt", "C:\\Temp\\c.txt"));
    EXPECT_EQ(ReadFile(root.path() / "Temp" / "c.txt"), "A");
    // A change of letter case only renames.
    EXPECT_TRUE(MoveFileA("C:\\Temp\\c.txt", "C:\\Temp\\C.TXT"));
    EXPECT_TRUE(fs::exists(root.path() / "Temp" / "C.TXT"));
    EXPECT_FALSE(MoveFileA("C:\\Temp\\none", "C:\\Temp\\x"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(MoveFileA("C:\\Temp\\C.TXT", "D:\\x"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

struct CountingObject : platform::HandleObject {
    explicit CountingObject(int& alive) : alive(alive) { ++alive; }
    ~CountingObject() override { --alive; }
    int& alive;
};

TEST_F(FilesTest, TheHandleTableTakesOtherKinds) {
    int alive = 0;
    HANDLE a = platform::RegisterHandle(std::make_unique<CountingObject>(alive));
    HANDLE b = platform::RegisterHandle(std::make_unique<CountingObject>(alive));
    EXPECT_EQ(alive, 2);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(a, b);
    EXPECT_NE(dynamic_cast<CountingObject*>(platform::LookupHandle(a)), nullptr);
    EXPECT_EQ(platform::RegisterHandle(nullptr), nullptr);

    // Reading from a kind that does not read.
    char c;
    DWORD got = 5;
    EXPECT_FALSE(::ReadFile(a, &c, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(a));
    EXPECT_EQ(GetFileSize(a, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    EXPECT_TRUE(CloseHandle(a));
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(platform::LookupHandle(a), nullptr);
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_EQ(alive, 0);
}

TEST_F(FilesTest, DeleteOnClose) {
    HANDLE h =
        Open("C:\\Temp\\scratch.tmp", GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(fs::exists(root.path() / "Temp" / "scratch.tmp"));
    CloseHandle(h);
    EXPECT_FALSE(fs::exists(root.path() / "Temp" / "scratch.tmp"));
}

}  // namespace
