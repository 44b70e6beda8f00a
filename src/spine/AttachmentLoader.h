#pragma once
// Makes the attachments a skeleton reader asks for. A loader that cannot
// make one returns none and keeps why in its two error texts (message and
// detail), which it owns.
#include <cstdint>

namespace GCore {

struct Attachment;
struct AttachmentLoader;
struct Skin;

struct AttachmentLoaderOps {
  Attachment* (*createAttachment)(AttachmentLoader* self, Skin* skin, int32_t type,
                                  const char* name, const char* path);
  void (*configureAttachment)(AttachmentLoader* self, Attachment* attachment);  // may be none
  void (*disposeAttachment)(AttachmentLoader* self, Attachment* attachment);    // may be none
  void (*dispose)(AttachmentLoader* self);  // frees the loader
};

struct AttachmentLoader {
  const char* error1 = nullptr;
  const char* error2 = nullptr;
  const AttachmentLoaderOps* ops = nullptr;
};

// Clears both error texts, then asks the loader.
Attachment* AttachmentLoader_createAttachment(AttachmentLoader* self, Skin* skin, int32_t type,
                                              const char* name, const char* path);
void AttachmentLoader_configureAttachment(AttachmentLoader* self, Attachment* attachment);
void AttachmentLoader_setError(AttachmentLoader* self, const char* message, const char* detail);
void AttachmentLoader_dispose(AttachmentLoader* self);

}  // namespace GCore
