// sproto messages: the structural check, the encoder and the decoder.
#include "modules/SprotoWire.h"

#include <cstring>

#include "modules/Sproto.h"

namespace GCore {
namespace {

void WriteWord(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void WriteDword(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void WriteQword(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t ReadQword(const uint8_t* p) { return uint64_t{ReadDword(p)} | (uint64_t{ReadDword(p + 4)} << 32); }

uint64_t SignExtend32(uint32_t v) { return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(v))); }

// ---- Encoding ---------------------------------------------------------------

// Asks for element i of an integer or boolean array: its width (4 or 8),
// kFieldNil after the last one, kFieldNoArray when the array is absent, or
// -1 for anything else.
int NextNumberElement(SprotoCallback cb, FieldArg& args, int i, uint64_t& v) {
  args.index = i;
  args.value = &v;
  args.length = 8;
  const int r = cb(&args);
  if (r == kFieldNil || r == kFieldNoArray || r == 4 || r == 8) return r;
  return -1;
}

// Integer elements start 4 bytes wide; the first one that needs 64 bits
// widens those already written, in place from the last one down.
int EncodeIntegerArray(SprotoCallback cb, FieldArg& args, uint8_t* content, int room) {
  uint8_t* elements = content + 1;
  int left = room - 1;
  int width = 4;
  int count = 0;
  for (int i = 1;; ++i) {
    uint64_t v = 0;
    const int r = NextNumberElement(cb, args, i, v);
    if (r == kFieldNil) break;
    if (r < 0) return r;
    if (r == 8 && width == 4) {
      if (left < count * 4) return -1;
      for (int j = count - 1; j >= 0; --j) WriteQword(elements + 8 * j, SignExtend32(ReadDword(elements + 4 * j)));
      left -= count * 4;
      width = 8;
    }
    if (left < width) return -1;
    if (width == 4) {
      WriteDword(elements + 4 * count, static_cast<uint32_t>(v));
    } else {
      WriteQword(elements + 8 * count, r == 4 ? SignExtend32(static_cast<uint32_t>(v)) : v);
    }
    left -= width;
    ++count;
  }
  // An empty integer array has no size byte.
  if (count == 0) return 0;
  content[0] = static_cast<uint8_t>(width);
  return 1 + count * width;
}

int EncodeBooleanArray(SprotoCallback cb, FieldArg& args, uint8_t* content, int room) {
  int count = 0;
  for (int i = 1;; ++i) {
    uint64_t v = 0;
    const int r = NextNumberElement(cb, args, i, v);
    if (r == kFieldNil) break;
    if (r < 0) return r;
    if (count >= room) return -1;
    content[count++] = v != 0 ? 1 : 0;
  }
  return count;
}

int EncodeObjectArray(SprotoCallback cb, FieldArg& args, uint8_t* content, int room) {
  int used = 0;
  for (int i = 1;; ++i) {
    if (room - used < 4) return -1;
    args.index = i;
    args.value = content + used + 4;
    args.length = room - used - 4;
    const int r = cb(&args);
    if (r == kFieldNil) break;
    if (r == kFieldNoArray) return kFieldNoArray;
    if (r < 0 || r > args.length) return -1;
    WriteDword(content + used, static_cast<uint32_t>(r));
    used += 4 + r;
  }
  return used;
}

// Writes the array as one data part; returns its size (length word
// included), 0 when the array is absent, or -1.
int EncodeArray(SprotoCallback cb, FieldArg& args, uint8_t* data, int room) {
  if (room < 4) return -1;
  int size;
  switch (args.type) {
    case kSprotoInteger: size = EncodeIntegerArray(cb, args, data + 4, room - 4); break;
    case kSprotoBoolean: size = EncodeBooleanArray(cb, args, data + 4, room - 4); break;
    default: size = EncodeObjectArray(cb, args, data + 4, room - 4); break;
  }
  if (size == kFieldNoArray) return 0;
  if (size < 0) return -1;
  WriteDword(data, static_cast<uint32_t>(size));
  return 4 + size;
}

// Asks for a plain field's value; sets the slot value and returns the bytes
// of data written, kFieldNil when absent, or -1.
int EncodePlain(SprotoCallback cb, FieldArg& args, uint8_t* data, int room, int& slotValue) {
  slotValue = 0;
  if (args.type == kSprotoInteger || args.type == kSprotoBoolean) {
    uint64_t v = 0;
    args.value = &v;
    args.length = 8;
    const int r = cb(&args);
    if (r == kFieldNil) return kFieldNil;
    if (r == 4) {
      const uint32_t small = static_cast<uint32_t>(v);
      if (small < 0x7FFF) {
        slotValue = static_cast<int>((small + 1) * 2);
        return 0;
      }
      if (room < 8) return -1;
      WriteDword(data, 4);
      WriteDword(data + 4, small);
      return 8;
    }
    if (r != 8 || room < 12) return -1;
    WriteDword(data, 8);
    WriteQword(data + 4, v);
    return 12;
  }
  if (room < 4) return -1;
  args.value = data + 4;
  args.length = room - 4;
  const int r = cb(&args);
  if (r == kFieldNil) return kFieldNil;
  if (r < 0 || r > args.length) return -1;
  WriteDword(data, static_cast<uint32_t>(r));
  return 4 + r;
}

// ---- Decoding ---------------------------------------------------------------

int DecodeArray(SprotoCallback cb, FieldArg& args, const WirePart& part) {
  const uint8_t* p = part.data;
  size_t left = part.size;
  if (left == 0) {
    args.index = -1;
    args.value = nullptr;
    args.length = 0;
    return cb(&args) == 0 ? 0 : -1;
  }
  uint64_t v = 0;
  args.value = &v;
  args.length = 8;
  switch (args.type) {
    case kSprotoInteger: {
      const size_t width = p[0];
      ++p;
      --left;
      if ((width != 4 && width != 8) || left % width != 0) return -1;
      for (int i = 1; left > 0; ++i, p += width, left -= width) {
        v = width == 4 ? SignExtend32(ReadDword(p)) : ReadQword(p);
        args.index = i;
        if (cb(&args) != 0) return -1;
      }
      return 0;
    }
    case kSprotoBoolean:
      for (int i = 1; left > 0; ++i, ++p, --left) {
        v = *p;
        args.index = i;
        if (cb(&args) != 0) return -1;
      }
      return 0;
    default:
      for (int i = 1; left > 0; ++i) {
        if (left < 4) return -1;
        const uint32_t size = ReadDword(p);
        if (left - 4 < size) return -1;
        args.index = i;
        args.value = const_cast<uint8_t*>(p + 4);
        args.length = static_cast<int>(size);
        if (cb(&args) != 0) return -1;
        p += 4 + size;
        left -= 4 + size;
      }
      return 0;
  }
}

int DecodePlain(SprotoCallback cb, FieldArg& args, const WirePart& part) {
  uint64_t v = 0;
  switch (args.type) {
    case kSprotoInteger:
      if (part.size == 4) {
        v = SignExtend32(ReadDword(part.data));
      } else if (part.size == 8) {
        v = ReadQword(part.data);
      } else {
        return -1;
      }
      args.value = &v;
      args.length = 8;
      break;
    case kSprotoBoolean:
      return -1;
    default:
      args.value = const_cast<uint8_t*>(part.data);
      args.length = static_cast<int>(part.size);
      break;
  }
  return cb(&args) == 0 ? 0 : -1;
}

}  // namespace

bool StructField(const WirePart& in, WireMessage& out) {
  if (in.size < 2) return false;
  const size_t k = ReadWord(in.data);
  if (in.size - 2 < 2 * k) return false;
  const uint8_t* slots = in.data + 2;
  const uint8_t* part = slots + 2 * k;
  size_t left = in.size - 2 - 2 * k;
  for (size_t i = 0; i < k; ++i) {
    if (ReadWord(slots + 2 * i) != 0) continue;
    if (left < 4) return false;
    const uint32_t size = ReadDword(part);
    if (left - 4 < size) return false;
    part += 4 + size;
    left -= 4 + size;
  }
  out.slots = slots;
  out.slotCount = static_cast<int>(k);
  out.nextPart = slots + 2 * k;
  out.size = in.size - left;
  return true;
}

int SprotoEncode(const sproto_type* st, void* buffer, int size, SprotoCallback cb, void* ud) {
  uint8_t* header = static_cast<uint8_t*>(buffer);
  const int headerSize = 2 + 2 * st->slotBound;
  if (size < headerSize) return -1;
  uint8_t* data = header + headerSize;
  int left = size - headerSize;
  int slots = 0;
  int lastTag = -1;
  for (int i = 0; i < st->n; ++i) {
    const SprotoField& f = st->fields[i];
    FieldArg args{ud, f.name, f.tag, f.type & ~kSprotoArray, f.subtype, nullptr, 0, 0, f.key};
    int slotValue = 0;
    int written;
    if (f.type & kSprotoArray) {
      written = EncodeArray(cb, args, data, left);
      if (written == 0) continue;
    } else {
      written = EncodePlain(cb, args, data, left, slotValue);
      if (written == kFieldNil) continue;
    }
    if (written < 0) return -1;
    if (f.tag > lastTag + 1) {
      // One slot stands for the whole run of missing tags.
      const int skip = 2 * (f.tag - lastTag - 1) - 1;
      if (skip > 0xFFFF) return -1;
      WriteWord(header + 2 + 2 * slots++, static_cast<uint32_t>(skip));
    }
    WriteWord(header + 2 + 2 * slots++, static_cast<uint32_t>(slotValue));
    lastTag = f.tag;
    data += written;
    left -= written;
  }
  WriteWord(header, static_cast<uint32_t>(slots));
  const int dataSize = size - headerSize - left;
  if (slots < st->slotBound) memmove(header + 2 + 2 * slots, header + headerSize, static_cast<size_t>(dataSize));
  return 2 + 2 * slots + dataSize;
}

int SprotoDecode(const sproto_type* st, const void* data, int size, SprotoCallback cb, void* ud) {
  WireMessage m;
  if (size < 0 || !StructField(WirePart{static_cast<const uint8_t*>(data), static_cast<size_t>(size)}, m)) {
    return -1;
  }
  // At most 65535 slots of at most 32767 skipped tags each: the running tag
  // stays within int.
  int tag = -1;
  for (int i = 0; i < m.slotCount; ++i) {
    const int slot = m.Slot(i);
    ++tag;
    if (slot & 1) {
      tag += slot / 2;
      continue;
    }
    // The data part is consumed whether or not the tag is known.
    const WirePart part = slot == 0 ? m.NextPart() : WirePart{};
    const SprotoField* f = FindTag(st, tag);
    if (!f) continue;
    FieldArg args{ud, f->name, f->tag, f->type & ~kSprotoArray, f->subtype, nullptr, 0, 0, f->key};
    if (slot != 0) {
      if ((f->type & kSprotoArray) || (args.type != kSprotoInteger && args.type != kSprotoBoolean)) return -1;
      uint64_t v = static_cast<uint64_t>(slot / 2 - 1);
      args.value = &v;
      args.length = 8;
      if (cb(&args) != 0) return -1;
    } else if (f->type & kSprotoArray) {
      if (DecodeArray(cb, args, part) != 0) return -1;
    } else if (DecodePlain(cb, args, part) != 0) {
      return -1;
    }
  }
  return static_cast<int>(m.size);
}

}  // namespace GCore
