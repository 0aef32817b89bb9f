// The diagnostic log: file names, line format, the 259-character cut and the clean-up of the
// log folder by size and by date.
#include <sys/time.h>

#include <cstring>
#include <ctime>

#include "plugin_fixture.h"

namespace render_test {
namespace {

namespace fs = std::filesystem;

class DebugLogTest : public PluginTest {
protected:
    // Pins the clock to a date (06:45:00).
    void PinDate(int year, int month, int day) {
        SYSTEMTIME t = {};
        t.wYear = static_cast<WORD>(year);
        t.wMonth = static_cast<WORD>(month);
        t.wDay = static_cast<WORD>(day);
        t.wHour = 6;
        t.wMinute = 45;
        platform::SetFakeTime(t);
        today = t;
    }
    // A file in the log folder last written at noon (UTC) of the given date.
    void MakeFile(const std::string& name, int year, int month, int day) {
        fs::create_directories(LogFolder());
        const auto path = LogFolder() / name;
        testing_support::WriteFile(path, "x");
        std::tm tm = {};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = 12;
        const time_t when = timegm(&tm);
        struct timeval times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(utimes(path.c_str(), times), 0);
    }
};

TEST_F(DebugLogTest, FileNamesOutsideAndInsideAJob) {
    SetMisc();
    Enable();
    EXPECT_TRUE(fs::exists(LogFile(NoJobPart())));
    host->StartDoc(u"a", 42);
    EXPECT_TRUE(fs::exists(LogFolder() / ("LBR-KV580_" + JobPart(42) + "_OEMUNI.LOG")));
    EXPECT_TRUE(fs::exists(LogFolder() / ("LBR-KV580_" + JobPart(42) + "_OEMUNI_W.LOG")));
    host->StartDoc(u"b", 123456);  // six digits keep all six
    char part[32];
    std::snprintf(part, sizeof(part), "%02u%02u_123456", today.wMonth, today.wDay);
    EXPECT_TRUE(fs::exists(LogFile(part)));
    // Example of the naming: job 42 on 10 May.
    PinDate(2026, 5, 10);
    host->StartDoc(u"c", 42);
    EXPECT_TRUE(fs::exists(LogFolder() / "LBR-KV580_0510_00042_OEMUNI.LOG"));
}

TEST_F(DebugLogTest, LongMessageIsCutTo259CharactersWithoutLineEnd) {
    SetMisc();
    Enable();
    const std::u16string name(300, u'x');
    host->StartDoc(name, 5);
    const std::string log = testing_support::ReadFile(LogFile(JobPart(5)));
    const std::string head = "06:45:00:000: OEMStartDoc : szDocName = ";
    const auto at = log.find(head);
    ASSERT_NE(at, std::string::npos);
    const std::string cut = head + std::string(259 - head.size(), 'x');
    EXPECT_EQ(log.substr(at, 259), cut);
    // The next line follows at once: the cut line lost its line end.
    EXPECT_EQ(log.substr(at + 259, 14), "06:45:00:000: ");

    const std::string wide = testing_support::ReadFile(LogFile(JobPart(5), true));
    std::u16string text((wide.size() - 2) / 2, u'\0');
    std::memcpy(text.data(), wide.data() + 2, text.size() * 2);
    const std::u16string wideHead = u"06:45:00:000: OEMStartDoc:  pwszDocName = ";
    const auto wideAt = text.find(wideHead);
    ASSERT_NE(wideAt, std::u16string::npos);
    EXPECT_EQ(text.substr(wideAt, 259), wideHead + std::u16string(259 - wideHead.size(), u'x'));
    // The cut line lost its line end: the file ends there or the next line follows at once.
    const std::u16string after = text.substr(wideAt + 259, 14);
    EXPECT_TRUE(after.empty() || after == u"06:45:00:000: ");
}

struct DateCase {
    int today[3];
    const char* name;
    int written[3];
    bool deleted;
};

TEST_F(DebugLogTest, CleanUpByDate) {
    const DateCase cases[] = {
        {{2026, 3, 3}, "old.LOG", {2026, 2, 28}, true},     // month differs
        {{2026, 3, 4}, "recent.LOG", {2026, 3, 1}, false},  // three days apart
        {{2026, 3, 5}, "page.BMP", {2026, 3, 1}, true},     // four days apart
        {{2026, 3, 5}, "dump.BIN", {2025, 3, 5}, true},     // year differs
        {{2026, 3, 1}, "later.LOG", {2026, 3, 4}, false},   // three days either way
        {{2026, 3, 5}, "lower.log", {2026, 2, 1}, false},   // lower-case extension
        {{2026, 3, 5}, "notes.txt", {2026, 2, 1}, false},   // not a debug file
        {{2026, 3, 5}, "a.LOG.bak", {2026, 2, 1}, true},    // ".LOG" anywhere in the name
    };
    for (const DateCase& c : cases) {
        PinDate(c.today[0], c.today[1], c.today[2]);
        MakeFile(c.name, c.written[0], c.written[1], c.written[2]);
        SetMisc();
        Enable();
        EXPECT_EQ(!fs::exists(LogFolder() / c.name), c.deleted) << c.name;
        host.reset();
        fs::remove_all(LogFolder());
    }
}

TEST_F(DebugLogTest, CleanUpBySize) {
    fs::create_directories(LogFolder());
    const auto big = LogFolder() / "big.BIN";
    testing_support::WriteFile(big, "");
    fs::resize_file(big, 301ull * 1024 * 1024);  // sparse
    testing_support::WriteFile(LogFolder() / "page.BMP", "x");
    testing_support::WriteFile(LogFolder() / "keep.log", "x");
    testing_support::WriteFile(LogFolder() / "keep.txt", "x");
    SetMisc();
    Enable();
    EXPECT_FALSE(fs::exists(big));
    EXPECT_FALSE(fs::exists(LogFolder() / "page.BMP"));
    EXPECT_TRUE(fs::exists(LogFolder() / "keep.log"));
    EXPECT_TRUE(fs::exists(LogFolder() / "keep.txt"));
    const std::string log = NoJobLog();
    EXPECT_TRUE(HasLine(log, "DebugDeleteFilesbySize : END"));
    EXPECT_TRUE(HasLine(log, "DebugDeleteFilesbyDate : START"));
    EXPECT_EQ(log.find("DLL_PROCESS_ATTACH"), std::string::npos);  // its file was deleted

    // Exactly 300 MiB is not too much.
    host.reset();
    testing_support::WriteFile(big, "");
    fs::resize_file(big, 300ull * 1024 * 1024 - NoJobLog().size() - 1024);
    Enable();
    EXPECT_TRUE(fs::exists(big));
}

TEST_F(DebugLogTest, LogFolderThatCannotBeMadeLosesLinesQuietly) {
    fs::create_directories(root->path() / "Windows" / "temp");
    testing_support::WriteFile(LogFolder(), "a file where the folder should be");
    SetMisc();
    Enable();
    EXPECT_NE(State(), nullptr);
    EXPECT_EQ(testing_support::ReadFile(LogFolder()), "a file where the folder should be");
}

}  // namespace
}  // namespace render_test
