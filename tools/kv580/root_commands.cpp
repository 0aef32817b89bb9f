// kv580 root init | root path: creating and locating a system root.
#include <cstdio>

#include "command.h"
#include "win32/system_root.h"
#include "win32/winspool.h"

namespace kv580 {
namespace {

void InitRoot(const GlobalOptions& options) {
    UseChosenRoot(options);
    const auto& root = platform::SystemRoot();
    std::string error;
    if (!platform::CreateRootTree(root, error)) {
        throw CommandError(error);
    }
    if (!platform::CreateStore(root, error)) {
        throw CommandError(error);
    }
    std::printf("system root ready: %s\n", root.string().c_str());
}

const CommandGroup kRootCommands(10, [](CLI::App& app, const GlobalOptions& options) {
    auto* root = app.add_subcommand("root", "Create or locate the system root");
    root->require_subcommand(1);
    root->add_subcommand("init", "Create a fresh system root (Windows folder tree, empty store)")
        ->callback([&options] { InitRoot(options); });
    root->add_subcommand("path", "Print the system root in use")->callback([&options] {
        UseChosenRoot(options);
        std::printf("%s\n", platform::SystemRoot().string().c_str());
    });
});

}  // namespace
}  // namespace kv580
