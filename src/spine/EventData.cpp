#include "spine/EventData.h"

#include "spine/SpineUtil.h"

namespace GCore {

EventData* EventData_create(const char* name) {
  EventData* data = new EventData{};
  data->name = CopyText(name);
  return data;
}

void EventData_dispose(EventData* data) {
  if (!data) return;
  FreeText(data->stringValue);
  FreeText(data->name);
  delete data;
}

}  // namespace GCore
