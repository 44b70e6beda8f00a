#pragma once
// A named set of attachments filed by (slot index, key name). The skin owns
// its entries, their key names and their attachments. Entries form a list,
// newest first; duplicates are kept and the newest wins on lookup.
#include <cstdint>

namespace GCore {

struct Attachment;

struct SkinEntry {
  int32_t slotIndex = 0;
  const char* name = nullptr;
  Attachment* attachment = nullptr;
  SkinEntry* next = nullptr;
};

struct Skin {
  const char* name = nullptr;
  SkinEntry* entries = nullptr;
};

Skin* Skin_create(const char* name);
void Skin_dispose(Skin* self);
void Skin_addAttachment(Skin* self, int32_t slotIndex, const char* name, Attachment* attachment);
Attachment* Skin_getAttachment(const Skin* self, int32_t slotIndex, const char* name);

}  // namespace GCore
