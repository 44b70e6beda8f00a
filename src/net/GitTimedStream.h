#pragma once
// The sockets under the git console's git:// and http(s):// transfers (the
// library's TLS runs on top of them). The library's own sockets wait for ever
// on a server that stops answering without closing its connection (a machine
// that went away, a stalled server), which would hold the git worker for the
// rest of the process; these give up after a stretch of silence with a network
// error, and end at once when the worker is told to stop.
//
// Threads: UseGitTimedStreams on the thread that runs console commands, after
// the library is initialised; SetGitStallLimit anywhere.
#include <chrono>

namespace GCore {

// How long a connection may stay silent (connecting, or waiting to send or
// receive) before the transfer fails. One minute unless set.
void SetGitStallLimit(std::chrono::milliseconds limit);

// Makes the library open its plain sockets through these streams, until it
// is shut down. False (the library's error set) when it refuses.
bool UseGitTimedStreams();

}  // namespace GCore
