#pragma once
// One key of an event timeline. Owned by the timeline; its string is owned.
#include <cstdint>

namespace GCore {

struct EventData;

struct Event {
  const EventData* data = nullptr;
  float time = 0;
  int32_t intValue = 0;
  float floatValue = 0;
  const char* stringValue = nullptr;
};

Event* Event_create(const EventData* data, float time);
void Event_dispose(Event* event);

}  // namespace GCore
