#include "spine/Skin.h"

#include "spine/Attachment.h"
#include "spine/SpineUtil.h"

namespace GCore {

Skin* Skin_create(const char* name) {
  Skin* self = new Skin{};
  self->name = CopyText(name);
  return self;
}

void Skin_dispose(Skin* self) {
  if (!self) return;
  for (SkinEntry* entry = self->entries; entry;) {
    SkinEntry* next = entry->next;
    Attachment_dispose(entry->attachment);
    FreeText(entry->name);
    delete entry;
    entry = next;
  }
  FreeText(self->name);
  delete self;
}

void Skin_addAttachment(Skin* self, int32_t slotIndex, const char* name, Attachment* attachment) {
  SkinEntry* entry = new SkinEntry{};
  entry->slotIndex = slotIndex;
  entry->name = CopyText(name);
  entry->attachment = attachment;
  entry->next = self->entries;
  self->entries = entry;
}

Attachment* Skin_getAttachment(const Skin* self, int32_t slotIndex, const char* name) {
  if (!self) return nullptr;
  for (const SkinEntry* entry = self->entries; entry; entry = entry->next) {
    if (entry->slotIndex == slotIndex && SameName(entry->name, name)) return entry->attachment;
  }
  return nullptr;
}

}  // namespace GCore
