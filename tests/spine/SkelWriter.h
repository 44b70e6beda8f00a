#pragma once
// A writer of binary skeleton files for tests and benchmarks: a plain model
// of a skeleton (bones, slots, constraints, skins with every attachment kind,
// events and animations with every timeline kind) and its encoding, written
// from the file format's description rather than from the reader. Fields
// hold exactly what goes into the file, so a test can also write what a
// good exporter never would.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace skel {

using Text = std::optional<std::string>;

// The primitive encodings, big-endian.
class Writer {
 public:
  void Byte(uint8_t value) { bytes.push_back(value); }
  void Bool(bool value) { Byte(value ? 1 : 0); }
  void SignedByte(int8_t value) { Byte(static_cast<uint8_t>(value)); }
  void Int(int32_t value);
  void Float(float value);
  void Varint(uint32_t value);
  void SignedVarint(int32_t value);  // zig-zag
  void String(const Text& text);     // none is length 0
  void Short(uint16_t value);
  void Shorts(const std::vector<uint16_t>& values);
  void Floats(const std::vector<float>& values);

  std::vector<uint8_t> bytes{};
};

struct Rgba {
  uint8_t r = 255, g = 255, b = 255, a = 255;
};

// Curve record after a key: 0 linear, 1 stepped, 2 Bezier with controls;
// any other byte is written as it is.
struct Curve {
  uint8_t type = 0;
  float cx1 = 0, cy1 = 0, cx2 = 0, cy2 = 0;
};

struct Bone {
  std::string name{};
  uint32_t parent = 0;  // not written for the first bone
  float rotation = 0, x = 0, y = 0, scaleX = 1, scaleY = 1, shearX = 0, shearY = 0, length = 0;
  uint32_t mode = 0;
};

struct Slot {
  std::string name{};
  uint32_t bone = 0;
  Rgba colour{};
  Text attachment{};
  uint32_t blend = 0;
};

struct Ik {
  std::string name{};
  uint32_t order = 0;
  std::vector<uint32_t> bones{};
  uint32_t target = 0;
  float mix = 1;
  int8_t bend = 1;
};

struct Transform {
  std::string name{};
  uint32_t order = 0;
  std::vector<uint32_t> bones{};
  uint32_t target = 0;
  float offsetRotation = 0, offsetX = 0, offsetY = 0, offsetScaleX = 0, offsetScaleY = 0,
        offsetShearY = 0;
  float rotateMix = 0, translateMix = 0, scaleMix = 0, shearMix = 0;
};

struct Path {
  std::string name{};
  uint32_t order = 0;
  std::vector<uint32_t> bones{};
  uint32_t target = 0;  // a slot
  uint32_t positionMode = 0, spacingMode = 0, rotateMode = 0;
  float offsetRotation = 0, position = 0, spacing = 0, rotateMix = 1, translateMix = 1;
};

struct Influence {
  uint32_t bone = 0;
  float x = 0, y = 0, weight = 1;
};

// Plain x, y pairs, or per vertex its influences when `weighted`.
struct Vertices {
  bool weighted = false;
  std::vector<float> plain{};
  std::vector<std::vector<Influence>> influences{};
  uint32_t Count() const;
};

enum AttachmentType : uint8_t { kRegion = 0, kBoundingBox = 1, kMesh = 2, kLinkedMesh = 3, kPath = 4 };

struct Attachment {
  Text key{};   // the name the skin files it under
  Text name{};  // none: the key
  uint8_t type = kRegion;
  Text path{};  // region, mesh, linked mesh; none: the name
  float rotation = 0, x = 0, y = 0, scaleX = 1, scaleY = 1, width = 0, height = 0;
  Rgba colour{};
  Vertices vertices{};  // bounding box, mesh, path
  std::vector<float> regionUVs{};
  std::vector<uint16_t> triangles{};
  uint32_t hull = 0;
  std::vector<uint16_t> edges{};  // nonessential
  Text skin{};                    // linked mesh; none: the default skin
  Text parent{};
  bool inheritDeform = true;
  bool closed = false, constantSpeed = false;
  std::vector<float> lengths{};  // path: vertex count / 3 are written, padded with 0
};

struct SkinSlot {
  uint32_t slot = 0;
  std::vector<Attachment> attachments{};
};

struct Skin {
  Text name{};  // not written for the default skin
  std::vector<SkinSlot> slots{};
};

struct EventDef {
  Text name{};
  int32_t intValue = 0;
  float floatValue = 0;
  Text stringValue{};
};

// One key of a strided timeline: its time, its values (a colour's as 0 to
// 255, an IK key's bend direction as its second value) and its curve.
struct Key {
  float time = 0;
  std::vector<float> values{};
  Curve curve{};
};

struct AttachmentKey {
  float time = 0;
  Text name{};
};

struct SlotTimeline {
  uint8_t type = 0;  // 0 attachment, 1 colour
  std::vector<AttachmentKey> attachments{};
  std::vector<Key> colours{};
};

struct SlotTimelines {
  uint32_t slot = 0;
  std::vector<SlotTimeline> timelines{};
};

struct TypedTimeline {
  uint8_t type = 0;
  std::vector<Key> keys{};
};

struct BoneTimelines {
  uint32_t bone = 0;
  std::vector<TypedTimeline> timelines{};  // 0 rotate, 1 translate, 2 scale, 3 shear
};

struct IndexedTimeline {
  uint32_t index = 0;
  std::vector<Key> keys{};
};

struct PathTimelines {
  uint32_t index = 0;
  std::vector<TypedTimeline> timelines{};  // 0 position, 1 spacing, 2 mix
};

// A deform key: `values` from float `start`; no values is end 0.
struct DeformKey {
  float time = 0;
  uint32_t start = 0;
  std::vector<float> values{};
  Curve curve{};
};

struct DeformAttachment {
  Text name{};
  std::vector<DeformKey> keys{};
};

struct DeformSlot {
  uint32_t slot = 0;
  std::vector<DeformAttachment> attachments{};
};

struct DeformSkin {
  uint32_t skin = 0;
  std::vector<DeformSlot> slots{};
};

struct DrawOrderKey {
  float time = 0;
  std::vector<std::pair<uint32_t, int32_t>> offsets{};  // slot, offset
};

struct EventKey {
  float time = 0;
  uint32_t event = 0;
  int32_t intValue = 0;
  float floatValue = 0;
  Text string{};  // none: the definition's
};

struct Animation {
  Text name{};
  std::vector<SlotTimelines> slots{};
  std::vector<BoneTimelines> bones{};
  std::vector<IndexedTimeline> ik{};
  std::vector<IndexedTimeline> transforms{};
  std::vector<PathTimelines> paths{};
  std::vector<DeformSkin> deforms{};
  std::vector<DrawOrderKey> drawOrder{};
  std::vector<EventKey> events{};
};

struct Skeleton {
  Text hash = "hash";
  Text version = "3.6.53";
  float width = 100, height = 200;
  bool nonessential = false;
  std::vector<Bone> bones{};
  std::vector<Slot> slots{};
  std::vector<Ik> ik{};
  std::vector<Transform> transforms{};
  std::vector<Path> paths{};
  Skin defaultSkin{};  // no slots: no default skin
  std::vector<Skin> skins{};
  std::vector<EventDef> events{};
  std::vector<Animation> animations{};
};

std::vector<uint8_t> Encode(const Skeleton& skeleton);

}  // namespace skel
