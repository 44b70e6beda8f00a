#pragma once
// The one HTTP GET that scripts may have running (the script call HttpGet):
// a download worker held by the game object, into a file or into the game
// object's fetched texts, whose events reach the game object's download
// callback on the main thread when the game object polls the worker. The
// worker is released after the poll that reports its end, done or failed.
// Main thread only; the in-memory sink runs on the worker, which hands the
// texts over through its state.
#include <cstddef>

namespace GCore {

// The most a fetch into memory keeps, as for a WebSocket message: a server
// cannot make the program hold more than this.
constexpr size_t kFetchedTextLimit = size_t{64} << 20;

// False when a fetch is held already or the job is refused (a URL or path
// too long); else the worker runs and true.
bool HttpGetToFile(const char* url, const char* path);
bool HttpGetToMemory(const char* url);

// The downloader's callback: hands the event to the game object's download
// callback; the end of the run (state 3 or 4) releases the worker after the
// poll, and a failure is logged.
void OnDownloadEvent(int progress, int total, void* context, int state);

// The in-memory sink: appends the bytes to the fetched text of the game
// object that `context` is, and keeps the response header as its fetched
// extra text. A body past kFetchedTextLimit ends the fetch, which fails
// (logged).
int AppendFetched(void* context, const char* bytes, int length, const char* header);
// Empties those texts: before each attempt, so that what a failed attempt
// received never comes before the body of the next.
void ForgetFetched(void* context);

}  // namespace GCore
