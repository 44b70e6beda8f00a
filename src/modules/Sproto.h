#pragma once
// The sproto message serialiser: compiles a binary schema bundle into types
// and protocols, encodes and decodes messages of a type through a per-field
// callback, prints a schema and zero-packs byte streams. It knows nothing of
// Lua; the "sproto.core" binding supplies the callbacks.
//
// Rules: every integer on the wire is little-endian. Bundles, messages and
// packed streams are untrusted: readers check every count and length against
// the bytes left and report failure by their result (null or -1); nothing
// prints except SprotoDump, nothing aborts. A schema is immutable once made and
// everything of it lives in one memory pool, freed by SprotoRelease.
#include <cstddef>
#include <cstdint>

namespace GCore {

constexpr int kSprotoInteger = 0;
constexpr int kSprotoBoolean = 1;
constexpr int kSprotoString = 2;
constexpr int kSprotoStruct = 3;
constexpr int kSprotoArray = 0x80;

// Callback results besides a byte count.
constexpr int kFieldError = -1;
constexpr int kFieldNil = -2;      // no value; also ends an array
constexpr int kFieldNoArray = -3;  // the array field is absent altogether

struct sproto_type;

struct SprotoField {
  int tag;
  int type;  // kSprotoInteger .. kSprotoStruct, possibly with kSprotoArray
  const char* name;
  sproto_type* subtype;  // struct fields only
  int key;               // main-index tag of a map-like array's element type, or -1
};

struct sproto_type {
  const char* name;
  int n;
  int base;       // tag of field 0 when the tags are contiguous, else -1
  int slotBound;  // most header slots a message of this type can need
  SprotoField* fields;  // n fields by strictly ascending tag
};

struct SprotoProtocol {
  const char* name;
  int tag;
  sproto_type* request;   // may be null
  sproto_type* response;  // may be null
};

// Blocks of a schema's memory: small records share 1000-byte chunks.
struct SprotoPool {
  void* blocks;    // singly linked through each block's first word
  void* current;   // the chunk small requests are carved from
  size_t currentUsed;
};

struct sproto {
  SprotoPool pool;
  int typeCount;
  int protocolCount;
  sproto_type* types;
  SprotoProtocol* protocols;  // by ascending tag
};

// What the encoder or decoder hands to the callback for one value.
struct FieldArg {
  void* ud;
  const char* tagname;
  int tagid;
  int type;  // without kSprotoArray
  sproto_type* subtype;
  // Encoding: the room to fill (8 bytes holding a uint64_t for integers and
  // booleans). Decoding: the value (a uint64_t for integers and booleans, the
  // bytes of a string or nested message).
  void* value;
  int length;      // room when encoding, value size when decoding
  int index;       // 0 plain field; 1, 2, ... array elements; -1 empty array (decoding)
  int mainindex;   // the field's key
};

// Encoding: a byte count or one of the kField* results. Decoding: 0 when the
// value was taken, anything else fails the decoding.
using SprotoCallback = int (*)(const FieldArg* args);

sproto* SprotoCreate(const void* bundle, size_t size);
void SprotoRelease(sproto* sp);
sproto_type* SprotoType(const sproto* sp, const char* name);
int SprotoProtoTag(const sproto* sp, const char* name);
const SprotoProtocol* QueryProto(const sproto* sp, int tag);
const SprotoField* FindTag(const sproto_type* st, int tag);
void SprotoDump(const sproto* sp);

int SprotoEncode(const sproto_type* st, void* buffer, int size, SprotoCallback cb, void* ud);
int SprotoDecode(const sproto_type* st, const void* data, int size, SprotoCallback cb, void* ud);

// Both return the full output size even when it exceeds `bufferSize`; only
// what fits is written, and the caller retries with a larger buffer.
int64_t SprotoPack(const void* source, int64_t sourceSize, void* buffer, int64_t bufferSize);
int64_t SprotoUnpack(const void* source, int64_t sourceSize, void* buffer, int64_t bufferSize);

}  // namespace GCore
