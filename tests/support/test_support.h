// Shared helpers of the test suite: temporary system roots and running the real programs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh temporary folder, removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A fresh system root in a temporary folder, made current for this process.
class TempRoot : public TempDir {
public:
    TempRoot();
};

// The folder that holds the build's programs and plug-ins ($KV580_BIN, else next to the test).
std::filesystem::path BinDir();

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), optional extra environment "NAME=value" entries.
RunResult Run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::vector<std::string>& env = {});

// Runs <bin>/kv580 with the arguments.
RunResult RunKv580(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// "1B 40" style hexadecimal of bytes, and back (spaces ignored).
std::string ToHex(const std::string& bytes);
std::string FromHex(const std::string& hex);

}  // namespace testing_support
