#pragma once
// SIGTERM and SIGINT ask the program to close, as the window's close box
// does: the handler only records the request, and the message loop turns it
// into WM_CLOSE (MessagePump.h), so the exit runs in its usual order whether
// the request comes before the window exists or after. A second signal while
// the first is still pending ends the process at once (a script that never
// returns cannot hold the program). The handler is async-signal-safe.
namespace GCore {

// Installs the handlers for SIGTERM and SIGINT; SDL is told to leave them.
void InstallTerminationHandlers();

// True when a close was requested and not yet taken; taking it clears it.
bool TakeTerminationRequest();

// True while a request is pending (not cleared by asking).
bool TerminationRequested();

}  // namespace GCore
