#pragma once
// The engine's HTTP/1.1 client: a GET that streams the body into a sink as
// it arrives, and a POST of a JSON text. http URLs go over plain TCP, https
// URLs over TLS with the server's certificate verified (net/TlsChannel.h).
// Redirects (statuses 300 to 307) are followed up to three times; other
// statuses outside 200 to 299 fail. A body ends as its header says (length,
// chunks, or the end of the connection); a body cut short is a failure.
//
// Every thread that calls the client has a client of its own: a cache of one
// open connection (kept after a keep-alive GET for the next request to the
// same host, closed at any failure and when the thread ends), a time-out for
// each wait, a deadline for each whole fetch (a server that trickles a byte
// now and then never lets a wait time out), a cancel that ends its fetches
// at once, and a receive buffer. Nothing is shared between threads and
// nothing is locked.
#include <cstddef>
#include <cstdint>

namespace GCore {

constexpr size_t kHttpUrlLimit = 1024;        // a URL must be shorter
constexpr size_t kHttpBufferSize = 204800;    // the request and receive buffer
constexpr int kHttpDefaultTimeoutSeconds = 20;
// Long enough for a large file over a slow line; the update runner, the
// reports and the script's fetches all share it.
constexpr int kHttpDefaultDeadlineSeconds = 600;

class WaitCancel;

// Called with each piece of a GET's body, then once with a count of 0 when
// the whole body has arrived; `header` is the response header text. A
// negative result aborts the fetch, which then fails.
using HttpSink = int (*)(void* context, const char* bytes, int count, const char* header);

// The number of body bytes received, or -1 on failure. With keepAlive above
// 0 the connection stays cached for the thread's next request.
int64_t HttpFetcher_Get(const char* url, HttpSink sink, void* context, int keepAlive);

// Posts the JSON text ("application/json") and reads the answer, printing
// "post OK" after every piece of it; the connection is closed afterwards.
// The number of answer bytes, or -1 on failure.
int64_t HttpFetcher_Post(const char* url, const char* json);

// The calling thread's time-out in seconds for every wait on a connection:
// negative waits without limit; 0 polls, yet still gives a new connection up
// to a second to be made, so that a request can be sent without waiting for
// its answer.
void HttpFetcher_SetTimeout(int seconds);
int HttpFetcher_GetTimeout();

// The calling thread's deadline in seconds for each whole fetch, redirects
// included, from the start of the call to the end of its body; negative
// for none. A fetch past it fails.
void HttpFetcher_SetDeadline(int seconds);
int HttpFetcher_GetDeadline();

// The cancel that the calling thread's fetches watch (none when null): once
// another thread raises it, the fetch under way fails at its next wait or
// piece of data, and every later one fails at once. It must outlive its use.
void HttpFetcher_SetCancel(const WaitCancel* cancel);

// Closes the calling thread's cached connection, if any.
void HttpFetcher_CloseCachedSocket();

}  // namespace GCore
