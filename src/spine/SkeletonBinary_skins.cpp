// Skins and their attachment records in a skeleton binary file.
#include <cstdint>
#include <string>
#include <vector>

#include "spine/AttachmentLoader.h"
#include "spine/BoundingBoxAttachment.h"
#include "spine/MeshAttachment.h"
#include "spine/PathAttachment.h"
#include "spine/RegionAttachment.h"
#include "spine/SkeletonBinaryReader.h"
#include "spine/Skin.h"
#include "spine/SpineHost.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

constexpr uint32_t kMinSkinSlotBytes = 2;
constexpr uint32_t kMinAttachmentBytes = 3;
constexpr uint32_t kMinSkinBytes = 2;
// Bone index, x, y and weight of one influence.
constexpr uint32_t kMinInfluenceBytes = 13;
// Vertex counts above this would overflow the float counts derived from them.
constexpr uint32_t kMaxVertexCount = 1u << 26;

struct SkinDisposer {
  void operator()(Skin* skin) const { Skin_dispose(skin); }
};
using SkinPtr = std::unique_ptr<Skin, SkinDisposer>;

// Vertices as read, before an attachment takes them over.
struct Vertices {
  std::vector<int32_t> bones;  // empty when not weighted
  std::vector<float> values;
  int32_t worldVerticesLength = 0;
};

bool ReadFloats(SkeletonReadContext& c, uint32_t count, bool scaled, std::vector<float>& out) {
  if (!c.in.Fits(count, 4)) return c.Truncated();
  out.resize(count);
  for (float& value : out) {
    value = c.in.ReadFloat();
    if (scaled) value = c.Scaled(value);
  }
  return true;
}

bool ReadShorts(SkeletonReadContext& c, std::vector<uint16_t>& out) {
  uint32_t count;
  if (!c.ReadCount(count, 2)) return false;
  out.resize(count);
  for (uint16_t& value : out) value = c.in.ReadShort();
  return true;
}

bool ReadVertices(SkeletonReadContext& c, uint32_t vertexCount, const char* name, Vertices& out) {
  if (vertexCount > kMaxVertexCount) return c.Truncated();
  out.worldVerticesLength = static_cast<int32_t>(vertexCount * 2);
  if (!c.in.ReadBoolean()) return ReadFloats(c, vertexCount * 2, true, out.values);
  if (!c.in.Fits(vertexCount, 1)) return c.Truncated();
  for (uint32_t v = 0; v < vertexCount; ++v) {
    const uint32_t boneCount = c.in.ReadVarint();
    if (!c.in.Fits(boneCount, kMinInfluenceBytes)) return c.Truncated();
    out.bones.push_back(static_cast<int32_t>(boneCount));
    for (uint32_t b = 0; b < boneCount; ++b) {
      const uint32_t bone = c.in.ReadVarint();
      if (bone >= static_cast<uint32_t>(c.data->boneCount)) {
        return c.Fail("Invalid bone for attachment: ", name);
      }
      out.bones.push_back(static_cast<int32_t>(bone));
      out.values.push_back(c.Scaled(c.in.ReadFloat()));
      out.values.push_back(c.Scaled(c.in.ReadFloat()));
      out.values.push_back(c.in.ReadFloat());
    }
  }
  return !c.in.failed() || c.Truncated();
}

template <class T>
T* OwnedCopy(const std::vector<T>& values) {
  T* copy = NewArray<T>(values.size());
  if (!values.empty()) std::memcpy(copy, values.data(), values.size() * sizeof(T));
  return copy;
}

void TakeVertices(VertexAttachment* attachment, const Vertices& vertices) {
  attachment->bonesCount = static_cast<int32_t>(vertices.bones.size());
  attachment->bones = vertices.bones.empty() ? nullptr : OwnedCopy(vertices.bones);
  attachment->verticesCount = static_cast<int32_t>(vertices.values.size());
  attachment->vertices = OwnedCopy(vertices.values);
  attachment->worldVerticesLength = vertices.worldVerticesLength;
}

struct Colour {
  float r, g, b, a;
};

Colour ReadColour(SkeletonReadContext& c) {
  Colour colour;
  colour.r = c.in.ReadByte() / 255.0f;
  colour.g = c.in.ReadByte() / 255.0f;
  colour.b = c.in.ReadByte() / 255.0f;
  colour.a = c.in.ReadByte() / 255.0f;
  return colour;
}

template <class T>
void Paint(T* attachment, const Colour& colour) {
  attachment->r = colour.r;
  attachment->g = colour.g;
  attachment->b = colour.b;
  attachment->a = colour.a;
}

// Asks the loader; a region it cannot find leaves the attachment out, with
// its message printed.
Attachment* Load(SkeletonReadContext& c, Skin* skin, int32_t type, const char* name,
                 const char* path) {
  AttachmentLoader* loader = c.reader->attachmentLoader;
  Attachment* attachment = AttachmentLoader_createAttachment(loader, skin, type, name, path);
  if (!attachment && loader->error1) {
    const std::string line = std::string(loader->error1) + (loader->error2 ? loader->error2 : "");
    SpineHost_get().print(line.c_str());
  }
  return attachment;
}

// A mesh or linked mesh over the region of `path` (the name when none),
// keeping its own copy of the path.
MeshAttachment* LoadMesh(SkeletonReadContext& c, Skin* skin, int32_t type, const char* name,
                         const std::optional<std::string>& path, const Colour& colour) {
  const char* regionPath = path ? path->c_str() : name;
  auto* mesh = static_cast<MeshAttachment*>(Load(c, skin, type, name, regionPath));
  if (!mesh) return nullptr;
  mesh->path = CopyText(regionPath);
  Paint(mesh, colour);
  return mesh;
}

bool ReadRegion(SkeletonReadContext& c, Skin* skin, const char* name, Attachment*& out) {
  const std::optional<std::string> path = c.in.ReadString();
  const char* regionPath = path ? path->c_str() : name;
  auto* region = static_cast<RegionAttachment*>(Load(c, skin, kAttachmentRegion, name, regionPath));
  std::unique_ptr<Attachment, void (*)(Attachment*)> owned(region, Attachment_dispose);
  // A region left out still has its fields read, to stay in step.
  RegionAttachment unused;
  RegionAttachment& fields = region ? *region : unused;
  fields.rotation = c.in.ReadFloat();
  fields.x = c.Scaled(c.in.ReadFloat());
  fields.y = c.Scaled(c.in.ReadFloat());
  fields.scaleX = c.in.ReadFloat();
  fields.scaleY = c.in.ReadFloat();
  fields.width = c.Scaled(c.in.ReadFloat());
  fields.height = c.Scaled(c.in.ReadFloat());
  Paint(&fields, ReadColour(c));
  if (c.in.failed()) return c.Truncated();
  if (!region) return true;
  region->path = CopyText(regionPath);
  RegionAttachment_updateOffset(region);
  AttachmentLoader_configureAttachment(c.reader->attachmentLoader, region);
  out = owned.release();
  return true;
}

bool ReadBoundingBox(SkeletonReadContext& c, Skin* skin, const char* name, Attachment*& out) {
  Vertices vertices;
  if (!ReadVertices(c, c.in.ReadVarint(), name, vertices)) return false;
  if (c.nonessential) c.in.Skip(4);
  if (c.in.failed()) return c.Truncated();
  auto* box = static_cast<BoundingBoxAttachment*>(Load(c, skin, kAttachmentBoundingBox, name, name));
  if (!box) return true;
  TakeVertices(box, vertices);
  AttachmentLoader_configureAttachment(c.reader->attachmentLoader, box);
  out = box;
  return true;
}

bool ReadMesh(SkeletonReadContext& c, Skin* skin, const char* name, Attachment*& out) {
  const std::optional<std::string> path = c.in.ReadString();
  const Colour colour = ReadColour(c);
  const uint32_t vertexCount = c.in.ReadVarint();
  if (vertexCount > kMaxVertexCount) return c.Truncated();
  std::vector<float> regionUVs;
  std::vector<uint16_t> triangles, edges;
  Vertices vertices;
  if (!ReadFloats(c, vertexCount * 2, false, regionUVs) || !ReadShorts(c, triangles) ||
      !ReadVertices(c, vertexCount, name, vertices)) {
    return false;
  }
  const uint32_t hull = c.in.ReadVarint();
  float width = 0, height = 0;
  if (c.nonessential) {
    if (!ReadShorts(c, edges)) return false;
    width = c.Scaled(c.in.ReadFloat());
    height = c.Scaled(c.in.ReadFloat());
  }
  if (c.in.failed()) return c.Truncated();
  if (triangles.size() % 3 != 0) return c.Fail("Triangles not in threes in mesh: ", name);
  for (uint16_t index : triangles) {
    if (index >= vertexCount) return c.Fail("Triangle index past the vertices in mesh: ", name);
  }
  if (hull > vertexCount) return c.Fail("Hull longer than the vertices in mesh: ", name);

  MeshAttachment* mesh = LoadMesh(c, skin, kAttachmentMesh, name, path, colour);
  if (!mesh) return true;
  TakeVertices(mesh, vertices);
  mesh->regionUVs = OwnedCopy(regionUVs);
  mesh->trianglesCount = static_cast<int32_t>(triangles.size());
  mesh->triangles = OwnedCopy(triangles);
  MeshAttachment_updateUVs(mesh);
  mesh->hullLength = static_cast<int32_t>(hull * 2);
  mesh->edgesCount = static_cast<int32_t>(edges.size());
  mesh->edges = OwnedCopy(edges);
  mesh->width = width;
  mesh->height = height;
  AttachmentLoader_configureAttachment(c.reader->attachmentLoader, mesh);
  out = mesh;
  return true;
}

bool ReadLinkedMesh(SkeletonReadContext& c, Skin* skin, int32_t slotIndex, const char* name,
                    Attachment*& out) {
  const std::optional<std::string> path = c.in.ReadString();
  const Colour colour = ReadColour(c);
  std::optional<std::string> skinName = c.in.ReadString();
  const std::optional<std::string> parent = c.in.ReadString();
  const bool inheritDeform = c.in.ReadBoolean();
  float width = 0, height = 0;
  if (c.nonessential) {
    width = c.Scaled(c.in.ReadFloat());
    height = c.Scaled(c.in.ReadFloat());
  }
  if (c.in.failed()) return c.Truncated();

  MeshAttachment* mesh = LoadMesh(c, skin, kAttachmentLinkedMesh, name, path, colour);
  if (!mesh) return true;
  mesh->inheritDeform = inheritDeform;
  mesh->width = width;
  mesh->height = height;
  c.reader->linkedMeshes.push_back({parent.value_or(""), std::move(skinName), slotIndex, mesh});
  out = mesh;
  return true;
}

// A path of n vertices has n / 3 curve lengths; its constraint reads one
// curve (two point triples) of an open path and one triple of a closed one.
bool ReadPath(SkeletonReadContext& c, Skin* skin, const char* name, Attachment*& out) {
  const bool closed = c.in.ReadBoolean();
  const bool constantSpeed = c.in.ReadBoolean();
  const uint32_t vertexCount = c.in.ReadVarint();
  Vertices vertices;
  std::vector<float> lengths;
  if (!ReadVertices(c, vertexCount, name, vertices) ||
      !ReadFloats(c, vertexCount / 3, true, lengths)) {
    return false;
  }
  if (c.nonessential) c.in.Skip(4);
  if (c.in.failed()) return c.Truncated();
  if (vertexCount < (closed ? 3u : 6u)) return c.Fail("Too few vertices for path: ", name);

  auto* path = static_cast<PathAttachment*>(Load(c, skin, kAttachmentPath, name, name));
  if (!path) return true;
  path->closed = closed;
  path->constantSpeed = constantSpeed;
  TakeVertices(path, vertices);
  path->lengthsCount = static_cast<int32_t>(lengths.size());
  path->lengths = OwnedCopy(lengths);
  out = path;
  return true;
}

// One attachment record; `out` stays none when its image is missing.
bool ReadAttachment(SkeletonReadContext& c, Skin* skin, int32_t slotIndex, const char* keyName,
                    Attachment*& out) {
  out = nullptr;
  const std::optional<std::string> ownName = c.in.ReadString();
  const char* name = ownName ? ownName->c_str() : keyName;
  const uint8_t type = c.in.ReadByte();
  if (c.in.failed()) return c.Truncated();
  switch (type) {
    case kAttachmentRegion:
      return ReadRegion(c, skin, name, out);
    case kAttachmentBoundingBox:
      return ReadBoundingBox(c, skin, name, out);
    case kAttachmentMesh:
      return ReadMesh(c, skin, name, out);
    case kAttachmentLinkedMesh:
      return ReadLinkedMesh(c, skin, slotIndex, name, out);
    case kAttachmentPath:
      return ReadPath(c, skin, name, out);
    default:
      // Its fields are unknown, so nothing after it could be read in step.
      return c.Fail("Unknown attachment type: ", std::to_string(type).c_str());
  }
}

// A skin record; `out` stays none for a record without slots.
bool ReadSkin(SkeletonReadContext& c, const char* name, SkinPtr& out) {
  uint32_t slotCount;
  if (!c.ReadCount(slotCount, kMinSkinSlotBytes)) return false;
  if (slotCount == 0) return true;
  SkinPtr skin(Skin_create(name));
  for (uint32_t i = 0; i < slotCount; ++i) {
    const uint32_t slotIndex = c.in.ReadVarint();
    if (slotIndex >= static_cast<uint32_t>(c.data->slotCount)) {
      return c.Fail("Invalid slot for skin: ", name);
    }
    uint32_t attachmentCount;
    if (!c.ReadCount(attachmentCount, kMinAttachmentBytes)) return false;
    for (uint32_t j = 0; j < attachmentCount; ++j) {
      const std::optional<std::string> keyName = c.in.ReadString();
      Attachment* attachment;
      if (!ReadAttachment(c, skin.get(), static_cast<int32_t>(slotIndex), TextOrNone(keyName),
                          attachment)) {
        return false;
      }
      if (attachment) {
        Skin_addAttachment(skin.get(), static_cast<int32_t>(slotIndex), TextOrNone(keyName),
                           attachment);
      }
    }
  }
  out = std::move(skin);
  return true;
}

}  // namespace

bool ReadSkins(SkeletonReadContext& c) {
  SkeletonData& data = *c.data;
  SkinPtr defaultSkin;
  if (!ReadSkin(c, "default", defaultSkin)) return false;
  uint32_t count;
  if (!c.ReadCount(count, kMinSkinBytes)) return false;
  const uint32_t first = defaultSkin ? 1 : 0;
  data.skinCount = static_cast<int32_t>(count + first);
  data.skins = NewArray<Skin*>(count + first);
  if (defaultSkin) data.skins[0] = data.defaultSkin = defaultSkin.release();
  for (uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> name = c.in.ReadString();
    SkinPtr skin;
    if (!ReadSkin(c, TextOrNone(name), skin)) return false;
    // A skin without slots leaves an empty entry, so that indexes hold.
    data.skins[first + i] = skin.release();
  }
  return true;
}

}  // namespace GCore
