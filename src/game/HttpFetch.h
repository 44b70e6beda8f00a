#pragma once
// The one HTTP GET that scripts may have running (the script call HttpGet):
// a download worker held by the game object, into a file or into the game
// object's fetched texts, whose events reach the game object's download
// callback on the main thread when the game object polls the worker. The
// worker is released after the poll that reports its end, done or failed.
// Main thread only; the in-memory sink runs on the worker, which hands the
// texts over through its state.
namespace GCore {

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
// extra text.
int AppendFetched(void* context, const char* bytes, int length, const char* header);

}  // namespace GCore
