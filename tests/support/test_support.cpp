#include "test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "win32/system_root.h"

extern char** environ;

namespace testing_support {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kv580-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

TempRoot::TempRoot() {
    std::string error;
    if (!platform::CreateRootTree(path(), error)) {
        throw std::runtime_error(error);
    }
    platform::SetSystemRoot(path());
}

std::filesystem::path BinDir() {
    if (const char* bin = std::getenv("KV580_BIN"); bin && *bin) {
        return bin;
    }
    return std::filesystem::canonical("/proc/self/exe").parent_path();
}

RunResult Run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::vector<std::string>& env) {
    // Output goes through temporary files so that large outputs cannot dead-lock a pipe.
    TempDir tmp;
    auto outPath = tmp.path() / "out";
    auto errPath = tmp.path() / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> argStore;
    argStore.push_back(program.string());
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
    envStore.insert(envStore.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid;
    int rc = posix_spawn(&pid, argStore[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (rc != 0) {
        result.err = "cannot start " + program.string();
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

RunResult RunKv580(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    return Run(BinDir() / "kv580", args, env);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ToHex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) hex += ' ';
        auto b = static_cast<unsigned char>(bytes[i]);
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    int nibble = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (nibble < 0) {
            nibble = v;
        } else {
            bytes += static_cast<char>(nibble * 16 + v);
            nibble = -1;
        }
    }
    return bytes;
}

}  // namespace testing_support
