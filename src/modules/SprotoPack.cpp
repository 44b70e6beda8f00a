// sproto zero-packing: each 8-byte group becomes a bitmap of its non-zero
// bytes followed by those bytes; runs of dense groups are copied raw behind a
// 0xFF marker and a group count.
#include <cstring>

#include "modules/Sproto.h"

namespace GCore {
namespace {

// Counts every byte it is given but stores only those that fit, so that a
// caller learns the full size from one pass over a buffer too small.
class BoundedWriter {
 public:
  BoundedWriter(void* buffer, int64_t capacity) : out_(static_cast<uint8_t*>(buffer)), capacity_(capacity) {}

  int64_t size() const { return size_; }

  void Put(uint8_t b) {
    if (size_ < capacity_) out_[size_] = b;
    ++size_;
  }

  void Put(const uint8_t* p, int64_t n) {
    const int64_t room = capacity_ - size_;
    if (room > 0) memcpy(out_ + size_, p, static_cast<size_t>(n < room ? n : room));
    size_ += n;
  }

  void PutAt(int64_t at, uint8_t b) {
    if (at < capacity_) out_[at] = b;
  }

 private:
  uint8_t* out_;
  int64_t capacity_;
  int64_t size_ = 0;
};

constexpr int kMaxRunGroups = 256;

struct RawRun {
  int64_t countAt = -1;  // where the open run's count byte is, or -1
  int groups = 0;
};

void PackSegment(BoundedWriter& out, const uint8_t group[8], RawRun& run) {
  uint8_t bitmap = 0;
  int nonZero = 0;
  for (int i = 0; i < 8; ++i) {
    if (group[i] != 0) {
      bitmap |= static_cast<uint8_t>(1 << i);
      ++nonZero;
    }
  }
  // Inside a run a nearly dense group costs no more raw than as a bitmap
  // group, and keeping it avoids a new marker and count.
  if (nonZero == 8 || (run.countAt >= 0 && nonZero >= 6)) {
    if (run.countAt < 0) {
      out.Put(0xFF);
      run.countAt = out.size();
      out.Put(0);
      run.groups = 0;
    }
    out.Put(group, 8);
    ++run.groups;
    out.PutAt(run.countAt, static_cast<uint8_t>(run.groups - 1));
    if (run.groups == kMaxRunGroups) run.countAt = -1;
    return;
  }
  run.countAt = -1;
  out.Put(bitmap);
  for (int i = 0; i < 8; ++i) {
    if (group[i] != 0) out.Put(group[i]);
  }
}

}  // namespace

int64_t SprotoPack(const void* source, int64_t sourceSize, void* buffer, int64_t bufferSize) {
  const uint8_t* src = static_cast<const uint8_t*>(source);
  BoundedWriter out(buffer, bufferSize);
  RawRun run;
  for (int64_t i = 0; i < sourceSize; i += 8) {
    // A short last group is padded with zero bytes.
    uint8_t group[8] = {};
    memcpy(group, src + i, static_cast<size_t>(sourceSize - i < 8 ? sourceSize - i : 8));
    PackSegment(out, group, run);
  }
  return out.size();
}

int64_t SprotoUnpack(const void* source, int64_t sourceSize, void* buffer, int64_t bufferSize) {
  const uint8_t* src = static_cast<const uint8_t*>(source);
  BoundedWriter out(buffer, bufferSize);
  int64_t i = 0;
  while (i < sourceSize) {
    const uint8_t header = src[i++];
    if (header == 0xFF) {
      if (i >= sourceSize) return -1;
      const int64_t size = (int64_t{src[i++]} + 1) * 8;
      if (sourceSize - i < size) return -1;
      out.Put(src + i, size);
      i += size;
      continue;
    }
    for (int bit = 0; bit < 8; ++bit) {
      if (header & (1 << bit)) {
        if (i >= sourceSize) return -1;
        out.Put(src[i++]);
      } else {
        out.Put(0);
      }
    }
  }
  return out.size();
}

}  // namespace GCore
