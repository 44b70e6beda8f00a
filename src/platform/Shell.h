#pragma once

namespace GCore {

// Asks the desktop to open a web address or a file with its usual program,
// without waiting for it. False when the request could not be started.
bool OpenWithShell(const char* target);

// Starts the program at that path, with no arguments and without waiting
// for it. False when it could not be started (missing, not executable).
bool StartProgram(const char* path);

}  // namespace GCore
