// sproto from untrusted bytes: the input is a schema bundle (its length in
// the first two bytes, little-endian) followed by a message. A bundle that
// compiles must give types and protocols that hold together, and the message
// is decoded as every one of its types, nested messages included; the
// message bytes are also zero-unpacked.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "modules/Sproto.h"

namespace {

constexpr int kMaxNesting = 64;

struct Decoding {
  int depth = 0;
};

int Field(const GCore::FieldArg* args) {
  auto* decoding = static_cast<Decoding*>(args->ud);
  if (!args->tagname) __builtin_trap();
  if (args->type != GCore::kSprotoStruct || args->index < 0) return 0;
  if (!args->subtype || decoding->depth >= kMaxNesting) return 1;
  ++decoding->depth;
  const int used = GCore::SprotoDecode(args->subtype, args->value, args->length, Field, decoding);
  --decoding->depth;
  return used < 0 ? 1 : 0;
}

void CheckSchema(const GCore::sproto* sp) {
  for (int i = 0; i < sp->typeCount; ++i) {
    const GCore::sproto_type& type = sp->types[i];
    if (!type.name || type.n < 0) __builtin_trap();
    for (int f = 0; f < type.n; ++f) {
      const GCore::SprotoField& field = type.fields[f];
      if (f > 0 && field.tag <= type.fields[f - 1].tag) __builtin_trap();
      if (GCore::FindTag(&type, field.tag) != &field) __builtin_trap();
      if ((field.type & ~GCore::kSprotoArray) == GCore::kSprotoStruct && !field.subtype) __builtin_trap();
    }
    if (GCore::SprotoType(sp, type.name) == nullptr) __builtin_trap();
  }
  for (int i = 0; i < sp->protocolCount; ++i) {
    const GCore::SprotoProtocol& protocol = sp->protocols[i];
    if (GCore::QueryProto(sp, protocol.tag) == nullptr) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t bundleSize = std::min<size_t>(data[0] | data[1] << 8, size - 2);
  // Exactly sized copies, so that a read past either part is caught.
  const std::vector<uint8_t> bundle(data + 2, data + 2 + bundleSize);
  const std::vector<uint8_t> message(data + 2 + bundleSize, data + size);

  std::unique_ptr<GCore::sproto, void (*)(GCore::sproto*)> sp(
      GCore::SprotoCreate(bundle.data(), bundle.size()), GCore::SprotoRelease);
  if (sp) {
    CheckSchema(sp.get());
    for (int i = 0; i < sp->typeCount; ++i) {
      Decoding decoding;
      const int used = GCore::SprotoDecode(&sp->types[i], message.data(), static_cast<int>(message.size()),
                                           Field, &decoding);
      if (used > static_cast<int>(message.size())) __builtin_trap();
    }
  }

  std::vector<uint8_t> unpacked(64);
  const int64_t full = GCore::SprotoUnpack(message.data(), static_cast<int64_t>(message.size()),
                                           unpacked.data(), static_cast<int64_t>(unpacked.size()));
  if (full > static_cast<int64_t>(unpacked.size()) && full <= (1 << 20)) {
    unpacked.resize(static_cast<size_t>(full));
    if (GCore::SprotoUnpack(message.data(), static_cast<int64_t>(message.size()), unpacked.data(), full) !=
        full) {
      __builtin_trap();
    }
  }
  return 0;
}
