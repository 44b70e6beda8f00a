#pragma once
// The two reports of a run. The start event is posted once, 10 s after
// start-up, from a thread of its own, when a script has set the log info
// (SetLogInfo); the play-duration report is posted on the main thread at
// exit when the Steam bridge gives a player id, with the time-out 0 so that
// it never waits for an answer. Neither is retried and neither answer is
// read. The analytics thread shares only its quit flag (under its own mutex)
// with the main thread; the texts it reads are copied under their own locks.
#include <cstdint>
#include <string>
#include <string_view>

namespace GCore {

// The built-in collectors (QUARVELIN_ANALYTICS_URL, QUARVELIN_MATCH_DATA_URL).
std::string AnalyticsCollectorUrl();
std::string MatchDataCollectorUrl();

// Starts the start event's thread, posting to the built-in collector or to
// the given one. Nothing when it runs already.
void StartAnalyticsThread();
void StartAnalyticsThread(std::string collectorUrl);

// Sets the quit flag (the thread ends at its next 200 ms look, before
// posting when it is still waiting) and joins the thread.
void StopAnalyticsThread();

// The exit report for that game time, to the built-in collector with the
// bridge beside the executable, or to the given ones.
void ReportPlayDuration(uint32_t gameTimeMs);
void ReportPlayDuration(uint32_t gameTimeMs, const std::string& collectorUrl, const std::string& steamLibraryPath);

// The JSON bodies.
std::string StartEventBody(const std::string& productId);
std::string PlayDurationBody(uint64_t steamId, uint32_t gameTimeMs);

// Appends the text as a JSON string: in double quotes, with quotes,
// backslashes and control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace GCore
