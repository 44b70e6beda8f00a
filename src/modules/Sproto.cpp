// sproto schemas: the memory pool, the bundle reader, lookups and the dump.
#include "modules/Sproto.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "modules/SprotoWire.h"

namespace GCore {
namespace {

constexpr size_t kPoolChunkSize = 1000;
// Each block starts with the link to the next one; the payload follows.
constexpr size_t kBlockHeader = sizeof(void*);

void* NewPoolBlock(SprotoPool& pool, size_t size) {
  void* block = malloc(kBlockHeader + size);
  if (!block) return nullptr;
  memcpy(block, &pool.blocks, sizeof(void*));
  pool.blocks = block;
  return block;
}

void* SprotoPoolAlloc(SprotoPool& pool, size_t size) {
  size = (size + 7) & ~size_t{7};
  if (size >= kPoolChunkSize) {
    void* block = NewPoolBlock(pool, size);
    return block ? static_cast<char*>(block) + kBlockHeader : nullptr;
  }
  if (pool.current && pool.currentUsed + size <= kPoolChunkSize) {
    void* p = static_cast<char*>(pool.current) + kBlockHeader + pool.currentUsed;
    pool.currentUsed += size;
    return p;
  }
  // A request that is large next to what the full chunk already holds gets
  // its own block, so the chunk's tail can still serve smaller ones.
  if (pool.current && size >= pool.currentUsed) {
    void* block = NewPoolBlock(pool, size);
    return block ? static_cast<char*>(block) + kBlockHeader : nullptr;
  }
  void* chunk = NewPoolBlock(pool, kPoolChunkSize);
  if (!chunk) return nullptr;
  pool.current = chunk;
  pool.currentUsed = size;
  return static_cast<char*>(chunk) + kBlockHeader;
}

void FreePool(SprotoPool pool) {
  void* block = pool.blocks;
  while (block) {
    void* next;
    memcpy(&next, block, sizeof(void*));
    free(block);
    block = next;
  }
}

template <typename T>
T* PoolArray(SprotoPool& pool, size_t count) {
  if (count == 0) return nullptr;
  void* p = SprotoPoolAlloc(pool, sizeof(T) * count);
  if (p) memset(p, 0, sizeof(T) * count);
  return static_cast<T*>(p);
}

const char* ImportString(SprotoPool& pool, const WirePart& part) {
  char* s = static_cast<char*>(SprotoPoolAlloc(pool, size_t{part.size} + 1));
  if (!s) return nullptr;
  memcpy(s, part.data, part.size);
  s[part.size] = '\0';
  return s;
}

// An array of records: a sequence of (4-byte length, record bytes) filling the
// content exactly. Returns the count, or -1.
int CountArray(const WirePart& content) {
  const uint8_t* p = content.data;
  size_t left = content.size;
  int count = 0;
  while (left > 0) {
    if (left < 4) return -1;
    const uint32_t size = ReadDword(p);
    if (left - 4 < size) return -1;
    p += 4 + size;
    left -= 4 + size;
    ++count;
  }
  return count;
}

WirePart NextRecord(const uint8_t*& p) {
  WirePart record{p + 4, ReadDword(p)};
  p += 4 + record.size;
  return record;
}

class BundleReader {
 public:
  explicit BundleReader(sproto& sp) : sp_(sp) {}

  bool ReadGroup(const WirePart& bundle) {
    WireMessage group;
    if (!StructField(bundle, group) || group.slotCount > 2) return false;
    WirePart parts[2] = {};
    for (int i = 0; i < group.slotCount; ++i) {
      if (group.Slot(i) != 0) return false;
      parts[i] = group.NextPart();
    }
    const int typeCount = CountArray(parts[0]);
    const int protocolCount = CountArray(parts[1]);
    if (typeCount < 0 || protocolCount < 0) return false;
    sp_.types = PoolArray<sproto_type>(sp_.pool, static_cast<size_t>(typeCount));
    sp_.protocols = PoolArray<SprotoProtocol>(sp_.pool, static_cast<size_t>(protocolCount));
    if ((typeCount > 0 && !sp_.types) || (protocolCount > 0 && !sp_.protocols)) return false;
    sp_.typeCount = typeCount;
    sp_.protocolCount = protocolCount;

    const uint8_t* p = parts[0].data;
    for (int i = 0; i < typeCount; ++i) {
      if (!ReadType(sp_.types[i], NextRecord(p))) return false;
    }
    p = parts[1].data;
    for (int i = 0; i < protocolCount; ++i) {
      if (!ReadProtocol(sp_.protocols[i], NextRecord(p))) return false;
    }
    SortProtocols();
    return true;
  }

 private:
  bool ReadType(sproto_type& st, const WirePart& record) {
    WireMessage m;
    if (!StructField(record, m) || m.slotCount < 1 || m.slotCount > 2) return false;
    for (int i = 0; i < m.slotCount; ++i) {
      if (m.Slot(i) != 0) return false;
    }
    st.name = ImportString(sp_.pool, m.NextPart());
    if (!st.name) return false;
    const WirePart fields = m.slotCount == 2 ? m.NextPart() : WirePart{};
    const int n = CountArray(fields);
    if (n < 0) return false;
    st.n = n;
    st.fields = PoolArray<SprotoField>(sp_.pool, static_cast<size_t>(n));
    if (n > 0 && !st.fields) return false;
    const uint8_t* p = fields.data;
    for (int i = 0; i < n; ++i) {
      if (!ReadField(st.fields[i], NextRecord(p))) return false;
      if (i > 0 && st.fields[i].tag <= st.fields[i - 1].tag) return false;
    }
    st.base = -1;
    st.slotBound = 0;
    if (n == 0) return true;
    const int first = st.fields[0].tag;
    if (st.fields[n - 1].tag - first + 1 == n) st.base = first;
    st.slotBound = n + (first > 0 ? 1 : 0);
    for (int i = 1; i < n; ++i) {
      if (st.fields[i].tag > st.fields[i - 1].tag + 1) ++st.slotBound;
    }
    return true;
  }

  bool ReadField(SprotoField& f, const WirePart& record) {
    WireMessage m;
    if (!StructField(record, m)) return false;
    f.tag = -1;
    f.key = -1;
    int builtin = -1;
    int typeIndex = -1;
    bool array = false;
    int tag = -1;
    for (int i = 0; i < m.slotCount; ++i) {
      const int slot = m.Slot(i);
      ++tag;
      if (slot & 1) {
        tag += slot / 2;
        continue;
      }
      if (tag == 0) {
        if (slot != 0) return false;
        f.name = ImportString(sp_.pool, m.NextPart());
        if (!f.name) return false;
        continue;
      }
      if (tag > 5 || slot == 0) return false;
      const int value = slot / 2 - 1;
      switch (tag) {
        case 1:
          if (value > kSprotoString) return false;
          builtin = value;
          break;
        case 2:
          if (value >= sp_.typeCount) return false;
          typeIndex = value;
          break;
        case 3: f.tag = value; break;
        case 4: array = value != 0; break;
        default: f.key = value; break;
      }
    }
    if (!f.name || f.tag < 0) return false;
    if (builtin >= 0) {
      if (typeIndex >= 0) return false;
      f.type = builtin;
    } else if (typeIndex >= 0) {
      f.type = kSprotoStruct;
      f.subtype = &sp_.types[typeIndex];
    } else {
      return false;
    }
    if (array) f.type |= kSprotoArray;
    return true;
  }

  // Members sit at fixed slot positions; a skip slot leaves its member unset.
  bool ReadProtocol(SprotoProtocol& pr, const WirePart& record) {
    WireMessage m;
    if (!StructField(record, m)) return false;
    pr.tag = -1;
    for (int i = 0; i < m.slotCount; ++i) {
      const int slot = m.Slot(i);
      if (slot & 1) continue;
      if (i >= 4) return false;
      const int value = slot / 2 - 1;
      if (i == 0) {
        if (slot != 0) return false;
        pr.name = ImportString(sp_.pool, m.NextPart());
        if (!pr.name) return false;
      } else if (i == 1) {
        if (value < 0) return false;
        pr.tag = value;
      } else {
        if (value < 0 || value >= sp_.typeCount) return false;
        (i == 2 ? pr.request : pr.response) = &sp_.types[value];
      }
    }
    return pr.name && pr.tag >= 0;
  }

  // Tag lookups search by halves, so the protocols must be in tag order
  // whatever order the bundle lists them in.
  void SortProtocols() {
    for (int i = 1; i < sp_.protocolCount; ++i) {
      const SprotoProtocol moving = sp_.protocols[i];
      int j = i;
      for (; j > 0 && sp_.protocols[j - 1].tag > moving.tag; --j) sp_.protocols[j] = sp_.protocols[j - 1];
      sp_.protocols[j] = moving;
    }
  }

  sproto& sp_;
};

const char* FieldTypeName(const SprotoField& f) {
  switch (f.type & ~kSprotoArray) {
    case kSprotoInteger: return "integer";
    case kSprotoBoolean: return "boolean";
    case kSprotoString: return "string";
    default: return f.subtype->name;
  }
}

}  // namespace

sproto* SprotoCreate(const void* bundle, size_t size) {
  SprotoPool pool{};
  sproto* sp = static_cast<sproto*>(SprotoPoolAlloc(pool, sizeof(sproto)));
  if (!sp) {
    FreePool(pool);
    return nullptr;
  }
  memset(static_cast<void*>(sp), 0, sizeof(sproto));
  // The record holds its own pool from here on: every later allocation of
  // the reader is linked into it.
  sp->pool = pool;
  BundleReader reader(*sp);
  if (!reader.ReadGroup(WirePart{static_cast<const uint8_t*>(bundle), size})) {
    FreePool(sp->pool);
    return nullptr;
  }
  return sp;
}

void SprotoRelease(sproto* sp) {
  if (sp) FreePool(sp->pool);
}

sproto_type* SprotoType(const sproto* sp, const char* name) {
  for (int i = 0; i < sp->typeCount; ++i) {
    if (strcmp(sp->types[i].name, name) == 0) return &sp->types[i];
  }
  return nullptr;
}

int SprotoProtoTag(const sproto* sp, const char* name) {
  for (int i = 0; i < sp->protocolCount; ++i) {
    if (strcmp(sp->protocols[i].name, name) == 0) return sp->protocols[i].tag;
  }
  return -1;
}

const SprotoProtocol* QueryProto(const sproto* sp, int tag) {
  int low = 0;
  int high = sp->protocolCount;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    const int t = sp->protocols[mid].tag;
    if (t == tag) return &sp->protocols[mid];
    if (t < tag) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return nullptr;
}

const SprotoField* FindTag(const sproto_type* st, int tag) {
  if (st->base >= 0) {
    const int i = tag - st->base;
    return i >= 0 && i < st->n ? &st->fields[i] : nullptr;
  }
  int low = 0;
  int high = st->n;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    const int t = st->fields[mid].tag;
    if (t == tag) return &st->fields[mid];
    if (t < tag) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return nullptr;
}

void SprotoDump(const sproto* sp) {
  printf("=== %d types ===\n", sp->typeCount);
  for (int i = 0; i < sp->typeCount; ++i) {
    const sproto_type& st = sp->types[i];
    printf("%s\n", st.name);
    for (int j = 0; j < st.n; ++j) {
      const SprotoField& f = st.fields[j];
      const char* array = (f.type & kSprotoArray) ? "*" : "";
      if (f.key >= 0) {
        printf("\t%s (%d) %s%s(%d)\n", f.name, f.tag, array, FieldTypeName(f), f.key);
      } else {
        printf("\t%s (%d) %s%s\n", f.name, f.tag, array, FieldTypeName(f));
      }
    }
  }
  printf("=== %d protocol ===\n", sp->protocolCount);
  for (int i = 0; i < sp->protocolCount; ++i) {
    const SprotoProtocol& pr = sp->protocols[i];
    printf("\t%s (%d) request:%s", pr.name, pr.tag, pr.request ? pr.request->name : "(null)");
    if (pr.response) printf(" response:%s", pr.response->name);
    printf("\n");
  }
}

}  // namespace GCore
