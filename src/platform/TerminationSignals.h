#pragma once
// SIGTERM and SIGINT ask the program to close, as the window's close box
// does: the handler only records the request, and the message loop turns it
// into WM_CLOSE (MessagePump.h), so the exit runs in its usual order whether
// the request comes before the window exists or after. A second signal while
// the first is still pending ends the process at once (a script that never
// returns cannot hold the program). The handler is async-signal-safe.
//
// Blocking calls are not restarted after these signals, and a wake-up
// descriptor turns readable with the first of them: a wait on a socket, on
// any thread, watches that descriptor too (or retries an interrupted call
// only while RetryInterruptedCall() says so), so that nothing holds the
// program past the request.
namespace GCore {

// Installs the handlers for SIGTERM and SIGINT; SDL is told to leave them.
void InstallTerminationHandlers();

// True when a close was requested and not yet taken; taking it clears it.
bool TakeTerminationRequest();

// True while a request is pending (not cleared by asking).
bool TerminationRequested();

// True once a termination signal came, taken or not: from then on no wait
// should block.
bool TerminationSignalled();

// A descriptor that stays readable from the first termination signal on,
// for poll sets; -1 before the handlers are installed.
int TerminationWakeDescriptor();

// After a call failed: true when it was only interrupted, by anything but a
// termination signal, so that it may be made again.
bool RetryInterruptedCall();

}  // namespace GCore
