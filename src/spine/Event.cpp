#include "spine/Event.h"

#include "spine/SpineUtil.h"

namespace GCore {

Event* Event_create(const EventData* data, float time) {
  Event* event = new Event{};
  event->data = data;
  event->time = time;
  return event;
}

void Event_dispose(Event* event) {
  if (!event) return;
  FreeText(event->stringValue);
  delete event;
}

}  // namespace GCore
