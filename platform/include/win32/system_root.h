// The system root: the folder that holds all persistent state of the simulated machine.
//
// The root is chosen once per process: SetSystemRoot (the command line's --root), else the
// environment variable KV580_ROOT, else a per-user default folder.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Makes `root` the system root of this process (made absolute; need not exist yet).
void SetSystemRoot(const std::filesystem::path& root);

// The system root of this process (see above for the order of choice).
const std::filesystem::path& SystemRoot();

// The per-user default root: $XDG_DATA_HOME/kv580/root, else ~/.local/share/kv580/root.
std::filesystem::path DefaultSystemRoot();

// Creates the folders of a fresh root (the Windows directory tree, Temp, ports).
// Existing folders and files are kept. Returns false with `error` set on failure.
bool CreateRootTree(const std::filesystem::path& root, std::string& error);

}  // namespace platform
