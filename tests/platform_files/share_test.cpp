// Share modes: between handles of one process, between threads, and between processes that
// use the same root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "files_test_util.h"

extern char** environ;

namespace fs = std::filesystem;
using files_test::Open;

namespace {

constexpr DWORD R = GENERIC_READ;
constexpr DWORD RW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD SR = FILE_SHARE_READ;
constexpr DWORD SW = FILE_SHARE_WRITE;
constexpr DWORD SD = FILE_SHARE_DELETE;
constexpr const char* kJournal = "C:\\Windows\\LBR-KV580\\20261211_101500.jnl";

class ShareTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root.path() / "Windows" / "LBR-KV580");
        testing_support::WriteFile(root.path() / "Windows" / "LBR-KV580" / "20261211_101500.jnl",
                                   "job");
    }
    testing_support::TempRoot root;
};

struct ShareCase {
    const char* name;
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
};

TEST_F(ShareTest, ConflictsBetweenHandles) {
    const ShareCase cases[] = {
        {"readers sharing reading", R, SR, R, SR, true},
        {"reader not sharing writing, then writer", R, SR, RW, SR | SW, false},
        {"reader sharing writing, then writer", R, SR | SW, GENERIC_WRITE, SR | SW, true},
        {"writer, then reader denying writing", GENERIC_WRITE, SR | SW, R, SR, false},
        {"exclusive journal, then reader", RW, 0, R, SR | SW | SD, false},
        {"reader, then exclusive journal", R, SR | SW | SD, RW, 0, false},
        {"appender counts as writer", FILE_APPEND_DATA, SR, GENERIC_WRITE, SR | SW, false},
        {"attribute-only opens are not checked", FILE_READ_ATTRIBUTES, 0, RW, 0, true},
        {"exclusive, then attribute-only", RW, 0, FILE_READ_ATTRIBUTES, 0, true},
        {"delete access needs share delete", R, SR | SW, DELETE, SR | SW | SD, false},
        {"delete access with share delete", R, SR | SW | SD, DELETE, SR | SW | SD, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE first = Open(kJournal, c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(kJournal, c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        } else {
            CloseHandle(second);
        }
        CloseHandle(first);
        // Once both are closed nothing is left behind.
        HANDLE after = Open(kJournal, RW, 0, OPEN_EXISTING);
        ASSERT_NE(after, INVALID_HANDLE_VALUE);
        CloseHandle(after);
    }
}

TEST_F(ShareTest, NameOperationsRespectOpenHandles) {
    HANDLE h = Open(kJournal, RW, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(DeleteFileA(kJournal));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(CopyFileA(kJournal, "C:\\Temp\\copy.jnl", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(MoveFileA(kJournal, "C:\\Temp\\moved.jnl"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    // CREATE_ALWAYS would cut the file under the holder: refused, content kept.
    EXPECT_EQ(Open(kJournal, FILE_READ_ATTRIBUTES, SR | SW | SD, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(files_test::ReadAll(h), "job");
    CloseHandle(h);

    HANDLE shared = Open(kJournal, R, SR | SD, OPEN_EXISTING);
    ASSERT_NE(shared, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CopyFileA(kJournal, "C:\\Temp\\copy.jnl", FALSE));
    EXPECT_TRUE(DeleteFileA(kJournal));
    CloseHandle(shared);
}

TEST_F(ShareTest, TheBookkeepingGoesWithTheLastHandle) {
    fs::path shares = root.path() / ".kv580" / "shares";
    HANDLE a = Open(kJournal, R, SR, OPEN_EXISTING);
    HANDLE b = Open(kJournal, R, SR, OPEN_EXISTING);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fs::is_empty(shares));
    CloseHandle(a);
    EXPECT_EQ(Open(kJournal, GENERIC_WRITE, SR, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    CloseHandle(b);
    EXPECT_TRUE(fs::is_empty(shares));
}

TEST_F(ShareTest, ThreadsRacingForAnExclusiveOpen) {
    std::atomic<int> opened{0};
    std::atomic<bool> go{false};
    std::vector<HANDLE> handles(8, INVALID_HANDLE_VALUE);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < handles.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go) std::this_thread::yield();
            handles[i] = Open(kJournal, RW, 0, OPEN_ALWAYS);
            if (handles[i] != INVALID_HANDLE_VALUE) ++opened;
        });
    }
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(opened, 1);
    for (HANDLE h : handles) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
}

// Another process holding a file: files_share_holder, driven through its standard input.
class Holder {
public:
    Holder(const fs::path& root, const std::string& name, DWORD access, DWORD share,
           DWORD disposition = OPEN_EXISTING) {
        int in[2], out[2];
        // Our ends must not leak into later children, or they would keep each other's input open.
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        char hex[3][16];
        std::snprintf(hex[0], 16, "%x", access);
        std::snprintf(hex[1], 16, "%x", share);
        std::snprintf(hex[2], 16, "%x", disposition);
        std::string program = (testing_support::BinDir() / "files_share_holder").string();
        std::string rootText = root.string();
        std::string nameText = name;
        char* argv[] = {program.data(), rootText.data(), nameText.data(), hex[0],
                        hex[1],         hex[2],          nullptr};
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            throw std::runtime_error("cannot start " + program);
        }
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_stdin = in[1];
        m_stdout = fdopen(out[0], "r");
    }
    ~Holder() {
        Stop();
        if (m_stdout) fclose(m_stdout);
    }
    // The holder's report: "OPEN" or "FAIL <error>".
    std::string Report() {
        char line[64] = {};
        if (!fgets(line, sizeof line, m_stdout)) return "no report";
        std::string text = line;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    // Lets it close its handle and exit; returns the exit code.
    int Stop() {
        if (m_pid <= 0) return -1;
        close(m_stdin);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Ends it the hard way: no close, no clean exit.
    void Kill() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        close(m_stdin);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    FILE* m_stdout = nullptr;
};

TEST_F(ShareTest, AnotherProcessHoldingTheJournal) {
    Holder holder(root.path(), kJournal, RW, 0);
    ASSERT_EQ(holder.Report(), "OPEN");
    // A second job in the same second runs without a journal.
    EXPECT_EQ(Open(kJournal, RW, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Open("c:\\windows\\lbr-kv580\\20261211_101500.JNL", R, SR | SW | SD, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(kJournal));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(holder.Stop(), 0);

    HANDLE h = Open(kJournal, RW, 0, OPEN_ALWAYS);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(ShareTest, SharedReadersAcrossProcesses) {
    Holder holder(root.path(), kJournal, R, SR);
    ASSERT_EQ(holder.Report(), "OPEN");
    HANDLE reader = Open(kJournal, R, SR, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(Open(kJournal, GENERIC_WRITE, SR | SW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
}

TEST_F(ShareTest, TheOtherProcessSeesOurHandles) {
    HANDLE mine = Open(kJournal, RW, 0, OPEN_EXISTING);
    ASSERT_NE(mine, INVALID_HANDLE_VALUE);
    Holder refused(root.path(), kJournal, R, SR | SW);
    EXPECT_EQ(refused.Report(), "FAIL 32");
    CloseHandle(mine);
    Holder allowed(root.path(), kJournal, R, SR | SW);
    EXPECT_EQ(allowed.Report(), "OPEN");
}

TEST_F(ShareTest, ADeadHolderLeavesNothingStale) {
    Holder holder(root.path(), kJournal, RW, 0);
    ASSERT_EQ(holder.Report(), "OPEN");
    EXPECT_EQ(Open(kJournal, R, SR | SW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    holder.Kill();
    HANDLE h = Open(kJournal, RW, 0, OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(ShareTest, ProcessesRacingForAnExclusiveOpen) {
    std::vector<std::unique_ptr<Holder>> holders;
    for (int i = 0; i < 5; ++i) {
        holders.push_back(std::make_unique<Holder>(root.path(), kJournal, RW, 0, OPEN_ALWAYS));
    }
    int opened = 0, refused = 0;
    for (auto& h : holders) {
        std::string report = h->Report();
        if (report == "OPEN") ++opened;
        if (report == "FAIL 32") ++refused;
    }
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(refused, 4);
}

}  // namespace
