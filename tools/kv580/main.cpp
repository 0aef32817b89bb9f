// kv580: the command line of the LBR-KV580 receipt driver package.
#include <cstdio>
#include <map>
#include <vector>

#include "command.h"
#include "win32/system_root.h"

namespace kv580 {
namespace {

std::multimap<int, CommandSetup>& Registry() {
    static std::multimap<int, CommandSetup> registry;
    return registry;
}

}  // namespace

CommandGroup::CommandGroup(int order, CommandSetup setup) {
    Registry().emplace(order, std::move(setup));
}

void UseChosenRoot(const GlobalOptions& options) {
    if (!options.root.empty()) {
        platform::SetSystemRoot(options.root);
    }
}

}  // namespace kv580

int main(int argc, char** argv) {
    kv580::GlobalOptions options;
    CLI::App app{"kv580: print, inspect and emulate the ORVANEX LBR-KV580 receipt driver package",
                 "kv580"};
    app.set_version_flag("--version", "kv580 " KV580_VERSION);
    app.option_defaults()->always_capture_default();
    app.add_option("--root", options.root,
                   "System root folder (default: $KV580_ROOT, else a per-user folder)")
        ->type_name("DIR");
    app.require_subcommand(1);
    app.fallthrough();
    for (auto& [order, setup] : kv580::Registry()) {
        setup(app, options);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "kv580: error: %s\n", e.what());
        return e.get_exit_code() ? e.get_exit_code() : 2;
    } catch (const kv580::CommandError& e) {
        std::fprintf(stderr, "kv580: error: %s\n", e.what());
        return e.exitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kv580: error: %s\n", e.what());
        return 1;
    }
    return 0;
}
