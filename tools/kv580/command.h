// The kv580 command line's registry of commands.
//
// Each group of commands lives in its own source file and registers itself with a
// static CommandGroup object; main() builds the CLI11 application from the registry.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <stdexcept>
#include <string>

namespace kv580 {

// A failure a command reports to its user: one line on stderr, exit code `exitCode`.
class CommandError : public std::runtime_error {
public:
    explicit CommandError(const std::string& message, int exitCode = 1)
        : std::runtime_error(message), m_exitCode(exitCode) {}
    int exitCode() const { return m_exitCode; }

private:
    int m_exitCode;
};

// Options every command sees.
struct GlobalOptions {
    std::string root;  // --root DIR; empty when not given
};

// Adds one group's subcommands to `app`. Commands run through the callbacks they set.
using CommandSetup = std::function<void(CLI::App& app, const GlobalOptions& options)>;

// Registers a group; `order` sorts the groups in the help text.
struct CommandGroup {
    CommandGroup(int order, CommandSetup setup);
};

// Makes the chosen system root current for this process (after --root / $KV580_ROOT).
void UseChosenRoot(const GlobalOptions& options);

}  // namespace kv580
