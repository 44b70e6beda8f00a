#pragma once
// A named event that animations key, with its default values. Owned by its
// SkeletonData; texts are owned.
#include <cstdint>

namespace GCore {

struct EventData {
  const char* name = nullptr;
  int32_t intValue = 0;
  float floatValue = 0;
  const char* stringValue = nullptr;
};

EventData* EventData_create(const char* name);
void EventData_dispose(EventData* data);

}  // namespace GCore
