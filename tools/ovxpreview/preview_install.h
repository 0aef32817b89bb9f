// Places the preview application "OVXPreview.exe" (the stand-in of this package's outside
// program) into the program folder "C:\Windows\LBR-KV580\" of the current system root.
#pragma once

#include <string>

// Copies the OVXPreview.exe that was built next to the running program into the program folder
// of the current system root, creating the folder when needed and replacing an older copy.
// Returns false with `error` set when the program or the folder cannot be reached.
bool InstallPreviewProgram(std::string& error);
