#include "spine/SkelWriter.h"

#include <cstring>

namespace skel {

void Writer::Int(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int shift = 24; shift >= 0; shift -= 8) Byte(static_cast<uint8_t>(bits >> shift));
}

void Writer::Float(float value) {
  int32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Int(bits);
}

void Writer::Varint(uint32_t value) {
  // Four groups of seven bits at most; a fifth byte carries the top four.
  for (int i = 0; i < 4; ++i) {
    if (value < 0x80) {
      Byte(static_cast<uint8_t>(value));
      return;
    }
    Byte(static_cast<uint8_t>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  Byte(static_cast<uint8_t>(value));
}

void Writer::SignedVarint(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  Varint((v << 1) ^ static_cast<uint32_t>(value >> 31));
}

void Writer::String(const Text& text) {
  if (!text) {
    Varint(0);
    return;
  }
  Varint(static_cast<uint32_t>(text->size() + 1));
  for (char c : *text) Byte(static_cast<uint8_t>(c));
}

void Writer::Short(uint16_t value) {
  Byte(static_cast<uint8_t>(value >> 8));
  Byte(static_cast<uint8_t>(value));
}

void Writer::Shorts(const std::vector<uint16_t>& values) {
  Varint(static_cast<uint32_t>(values.size()));
  for (uint16_t value : values) Short(value);
}

void Writer::Floats(const std::vector<float>& values) {
  for (float value : values) Float(value);
}

uint32_t Vertices::Count() const {
  return weighted ? static_cast<uint32_t>(influences.size()) : static_cast<uint32_t>(plain.size() / 2);
}

namespace {

void WriteColour(Writer& w, const Rgba& c) {
  w.Byte(c.r);
  w.Byte(c.g);
  w.Byte(c.b);
  w.Byte(c.a);
}

void WriteCurve(Writer& w, const Curve& curve) {
  w.Byte(curve.type);
  if (curve.type == 2) {
    w.Float(curve.cx1);
    w.Float(curve.cy1);
    w.Float(curve.cx2);
    w.Float(curve.cy2);
  }
}

void WriteVertices(Writer& w, const Vertices& v) {
  w.Bool(v.weighted);
  if (!v.weighted) {
    w.Floats(v.plain);
    return;
  }
  for (const auto& influences : v.influences) {
    w.Varint(static_cast<uint32_t>(influences.size()));
    for (const Influence& i : influences) {
      w.Varint(i.bone);
      w.Float(i.x);
      w.Float(i.y);
      w.Float(i.weight);
    }
  }
}

void WriteAttachment(Writer& w, const Attachment& a, bool nonessential) {
  w.String(a.key);
  w.String(a.name);
  w.Byte(a.type);
  switch (a.type) {
    case kRegion:
      w.String(a.path);
      w.Float(a.rotation);
      w.Float(a.x);
      w.Float(a.y);
      w.Float(a.scaleX);
      w.Float(a.scaleY);
      w.Float(a.width);
      w.Float(a.height);
      WriteColour(w, a.colour);
      break;
    case kBoundingBox:
      w.Varint(a.vertices.Count());
      WriteVertices(w, a.vertices);
      if (nonessential) w.Int(0x11223344);
      break;
    case kMesh:
      w.String(a.path);
      WriteColour(w, a.colour);
      w.Varint(a.vertices.Count());
      w.Floats(a.regionUVs);
      w.Shorts(a.triangles);
      WriteVertices(w, a.vertices);
      w.Varint(a.hull);
      if (nonessential) {
        w.Shorts(a.edges);
        w.Float(a.width);
        w.Float(a.height);
      }
      break;
    case kLinkedMesh:
      w.String(a.path);
      WriteColour(w, a.colour);
      w.String(a.skin);
      w.String(a.parent);
      w.Bool(a.inheritDeform);
      if (nonessential) {
        w.Float(a.width);
        w.Float(a.height);
      }
      break;
    case kPath: {
      w.Bool(a.closed);
      w.Bool(a.constantSpeed);
      const uint32_t count = a.vertices.Count();
      w.Varint(count);
      WriteVertices(w, a.vertices);
      for (uint32_t i = 0; i < count / 3; ++i) w.Float(i < a.lengths.size() ? a.lengths[i] : 0);
      if (nonessential) w.Int(0x11223344);
      break;
    }
    default:
      break;  // an unknown kind has no known fields
  }
}

void WriteSkin(Writer& w, const Skin& skin, bool nonessential) {
  w.Varint(static_cast<uint32_t>(skin.slots.size()));
  for (const SkinSlot& slot : skin.slots) {
    w.Varint(slot.slot);
    w.Varint(static_cast<uint32_t>(slot.attachments.size()));
    for (const Attachment& a : slot.attachments) WriteAttachment(w, a, nonessential);
  }
}

// A strided timeline's keys: time, values, a curve after all but the last.
void WriteKeys(Writer& w, const std::vector<Key>& keys, bool colour = false, bool ik = false) {
  w.Varint(static_cast<uint32_t>(keys.size()));
  for (size_t i = 0; i < keys.size(); ++i) {
    const Key& key = keys[i];
    w.Float(key.time);
    for (size_t v = 0; v < key.values.size(); ++v) {
      if (colour) {
        w.Byte(static_cast<uint8_t>(key.values[v]));
      } else if (ik && v == 1) {
        w.SignedByte(static_cast<int8_t>(key.values[v]));
      } else {
        w.Float(key.values[v]);
      }
    }
    if (i + 1 < keys.size()) WriteCurve(w, key.curve);
  }
}

void WriteTyped(Writer& w, const std::vector<TypedTimeline>& timelines) {
  w.Varint(static_cast<uint32_t>(timelines.size()));
  for (const TypedTimeline& t : timelines) {
    w.Byte(t.type);
    WriteKeys(w, t.keys);
  }
}

// Name, order, bone list and target, as every constraint begins.
template <class Constraint>
void WriteConstraintHead(Writer& w, const Constraint& c) {
  w.String(c.name);
  w.Varint(c.order);
  w.Varint(static_cast<uint32_t>(c.bones.size()));
  for (uint32_t bone : c.bones) w.Varint(bone);
  w.Varint(c.target);
}

void WriteAnimation(Writer& w, const Animation& a) {
  w.String(a.name);
  w.Varint(static_cast<uint32_t>(a.slots.size()));
  for (const SlotTimelines& slot : a.slots) {
    w.Varint(slot.slot);
    w.Varint(static_cast<uint32_t>(slot.timelines.size()));
    for (const SlotTimeline& t : slot.timelines) {
      w.Byte(t.type);
      if (t.type == 0) {
        w.Varint(static_cast<uint32_t>(t.attachments.size()));
        for (const AttachmentKey& key : t.attachments) {
          w.Float(key.time);
          w.String(key.name);
        }
      } else {
        WriteKeys(w, t.colours, true);
      }
    }
  }
  w.Varint(static_cast<uint32_t>(a.bones.size()));
  for (const BoneTimelines& bone : a.bones) {
    w.Varint(bone.bone);
    WriteTyped(w, bone.timelines);
  }
  w.Varint(static_cast<uint32_t>(a.ik.size()));
  for (const IndexedTimeline& t : a.ik) {
    w.Varint(t.index);
    WriteKeys(w, t.keys, false, true);
  }
  w.Varint(static_cast<uint32_t>(a.transforms.size()));
  for (const IndexedTimeline& t : a.transforms) {
    w.Varint(t.index);
    WriteKeys(w, t.keys);
  }
  w.Varint(static_cast<uint32_t>(a.paths.size()));
  for (const PathTimelines& path : a.paths) {
    w.Varint(path.index);
    WriteTyped(w, path.timelines);
  }
  w.Varint(static_cast<uint32_t>(a.deforms.size()));
  for (const DeformSkin& skin : a.deforms) {
    w.Varint(skin.skin);
    w.Varint(static_cast<uint32_t>(skin.slots.size()));
    for (const DeformSlot& slot : skin.slots) {
      w.Varint(slot.slot);
      w.Varint(static_cast<uint32_t>(slot.attachments.size()));
      for (const DeformAttachment& attachment : slot.attachments) {
        w.String(attachment.name);
        w.Varint(static_cast<uint32_t>(attachment.keys.size()));
        for (size_t i = 0; i < attachment.keys.size(); ++i) {
          const DeformKey& key = attachment.keys[i];
          w.Float(key.time);
          w.Varint(static_cast<uint32_t>(key.values.size()));
          if (!key.values.empty()) {
            w.Varint(key.start);
            w.Floats(key.values);
          }
          if (i + 1 < attachment.keys.size()) WriteCurve(w, key.curve);
        }
      }
    }
  }
  w.Varint(static_cast<uint32_t>(a.drawOrder.size()));
  for (const DrawOrderKey& key : a.drawOrder) {
    w.Float(key.time);
    w.Varint(static_cast<uint32_t>(key.offsets.size()));
    for (const auto& [slot, offset] : key.offsets) {
      w.Varint(slot);
      w.Varint(static_cast<uint32_t>(offset));  // negative offsets take five bytes
    }
  }
  w.Varint(static_cast<uint32_t>(a.events.size()));
  for (const EventKey& key : a.events) {
    w.Float(key.time);
    w.Varint(key.event);
    w.SignedVarint(key.intValue);
    w.Float(key.floatValue);
    w.Bool(key.string.has_value());
    if (key.string) w.String(key.string);
  }
}

}  // namespace

std::vector<uint8_t> Encode(const Skeleton& s) {
  Writer w;
  w.String(s.hash);
  w.String(s.version);
  w.Float(s.width);
  w.Float(s.height);
  w.Bool(s.nonessential);
  if (s.nonessential) {
    w.Float(30);  // skipped by readers
    w.String("./images/");
  }

  w.Varint(static_cast<uint32_t>(s.bones.size()));
  for (size_t i = 0; i < s.bones.size(); ++i) {
    const Bone& b = s.bones[i];
    w.String(b.name);
    if (i > 0) w.Varint(b.parent);
    w.Float(b.rotation);
    w.Float(b.x);
    w.Float(b.y);
    w.Float(b.scaleX);
    w.Float(b.scaleY);
    w.Float(b.shearX);
    w.Float(b.shearY);
    w.Float(b.length);
    w.Varint(b.mode);
    if (s.nonessential) w.Int(0x55667788);
  }

  w.Varint(static_cast<uint32_t>(s.slots.size()));
  for (const Slot& slot : s.slots) {
    w.String(slot.name);
    w.Varint(slot.bone);
    WriteColour(w, slot.colour);
    w.String(slot.attachment);
    w.Varint(slot.blend);
  }

  w.Varint(static_cast<uint32_t>(s.ik.size()));
  for (const Ik& ik : s.ik) {
    WriteConstraintHead(w, ik);
    w.Float(ik.mix);
    w.SignedByte(ik.bend);
  }

  w.Varint(static_cast<uint32_t>(s.transforms.size()));
  for (const Transform& t : s.transforms) {
    WriteConstraintHead(w, t);
    for (float f : {t.offsetRotation, t.offsetX, t.offsetY, t.offsetScaleX, t.offsetScaleY,
                    t.offsetShearY, t.rotateMix, t.translateMix, t.scaleMix, t.shearMix}) {
      w.Float(f);
    }
  }

  w.Varint(static_cast<uint32_t>(s.paths.size()));
  for (const Path& p : s.paths) {
    WriteConstraintHead(w, p);
    w.Varint(p.positionMode);
    w.Varint(p.spacingMode);
    w.Varint(p.rotateMode);
    for (float f : {p.offsetRotation, p.position, p.spacing, p.rotateMix, p.translateMix}) {
      w.Float(f);
    }
  }

  WriteSkin(w, s.defaultSkin, s.nonessential);
  w.Varint(static_cast<uint32_t>(s.skins.size()));
  for (const Skin& skin : s.skins) {
    w.String(skin.name);
    WriteSkin(w, skin, s.nonessential);
  }

  w.Varint(static_cast<uint32_t>(s.events.size()));
  for (const EventDef& e : s.events) {
    w.String(e.name);
    w.SignedVarint(e.intValue);
    w.Float(e.floatValue);
    w.String(e.stringValue);
  }

  w.Varint(static_cast<uint32_t>(s.animations.size()));
  for (const Animation& a : s.animations) WriteAnimation(w, a);
  return w.bytes;
}

}  // namespace skel
