#pragma once
// The message queue and the main loop. Messages come from two places: those
// posted by the engine (PostMessage, PostQuitMessage) and those an event
// source delivers (the SDL window, once created). Without an event source the
// loop runs headless on posted messages alone, which is how tests drive it.
// Main thread only: the queue has no lock.
#include <cstdint>
#include <vector>

#include "platform/Messages.h"

namespace GCore {

// One table of operations for whatever produces input messages.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Appends the messages that arrived since the last call; never waits.
  virtual void Poll(std::vector<Message>& out) = 0;
};

// The source the loop polls; null for none. The caller keeps it alive while set.
void SetEventSource(EventSource* source);

// Appends a message to the queue.
void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Queues WM_QUIT with the exit code as wParam.
void PostQuitMessage(int exitCode);

// Dispatches queued messages to the procedure in order and, whenever the
// queue is empty (after asking the event source), sends WM_PAINT. There is no
// waiting: paints run back to back. Returns when WM_QUIT is taken from the
// queue; WM_QUIT itself is not dispatched. A termination signal
// (TerminationSignals.h) is queued as WM_CLOSE.
void RunMessageLoop(WindowProc proc);

}  // namespace GCore
