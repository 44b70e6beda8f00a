#pragma once
// Reads one binary ".skel" file into a SkeletonData, making attachments
// through an attachment loader (by default one over the skeleton's atlas,
// owned by the reader). The file is untrusted: every read is bounded by the
// buffer, every index is checked against what it indexes, counts larger
// than the rest of the file are refused before anything is allocated, and
// data that would expand beyond a fixed budget is refused. A failed read
// returns none and keeps its message in `error`; nothing half-built is kept.
// A missing atlas region leaves its attachment out of its skin, with the
// loader's message printed through the host.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace GCore {

struct Atlas;
struct AttachmentLoader;
struct MeshAttachment;
struct SkeletonData;

// A linked mesh waiting for its parent, which may come in a later skin.
struct LinkedMeshRecord {
  std::string parent;
  std::optional<std::string> skin;  // none: the default skin
  int32_t slotIndex = 0;
  MeshAttachment* mesh = nullptr;
};

struct SkeletonBinary {
  float scale = 1;  // applied to every length in skeleton space
  AttachmentLoader* attachmentLoader = nullptr;
  const char* error = nullptr;
  int32_t ownsLoader = 1;
  std::vector<LinkedMeshRecord> linkedMeshes;
};

SkeletonBinary* SkeletonBinary_create(const Atlas* atlas);
void SkeletonBinary_dispose(SkeletonBinary* self);
// Reads the file whole through the host; none when it cannot be read, is
// empty or does not parse.
SkeletonData* SkeletonBinary_readSkeletonDataFile(SkeletonBinary* self, const char* path);
SkeletonData* SkeletonBinary_readSkeletonData(SkeletonBinary* self, const unsigned char* binary,
                                              size_t length);
// error := message followed by detail, cut to 255 characters in all.
void SkeletonBinary_setError(SkeletonBinary* self, const char* message, const char* detail);

}  // namespace GCore
