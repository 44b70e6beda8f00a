#pragma once

namespace GCore {

// Asks the desktop to open a web address or a file with its usual program,
// without waiting for it. False when the request could not be started.
bool OpenWithShell(const char* target);

}  // namespace GCore
