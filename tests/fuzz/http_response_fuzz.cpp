// libFuzzer target of the HTTP response reader: the input's first byte is the
// size of the pieces the bytes arrive in (0: all at once), the rest is what
// the server sent. The reader must never hand on more than arrived, and a
// body it calls whole must be exactly as long as its framing says.
// Built and run by tests/fuzz/CMakeLists.txt; seeds: tests/net/fuzz_seeds.py.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "net/HttpResponse.h"

namespace {

class PieceSource : public GCore::ByteSource {
 public:
  PieceSource(const uint8_t* data, size_t size, size_t piece) : data_(data), size_(size), piece_(piece) {}
  int Receive(char* buffer, size_t size) override {
    const size_t n = std::min({size, piece_, size_ - at_});
    std::copy(data_ + at_, data_ + at_ + n, buffer);
    at_ += n;
    return static_cast<int>(n);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t piece_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = data[0] == 0 ? size : data[0];
  PieceSource source(data + 1, size - 1, piece);
  // A small buffer, so that bodies wrap around it.
  std::vector<char> buffer(2048);
  GCore::ResponseReader reader(source, buffer.data(), buffer.size());
  GCore::HttpResponseHeader header;
  if (!reader.ReadHeader(header)) return 0;
  if (header.text.size() > GCore::kHttpHeaderLimit) __builtin_trap();
  (void)header.Field("Location");
  GCore::BodyFraming framing;
  if (!GCore::FramingOf(header, framing)) return 0;
  size_t delivered = 0;
  const bool whole = reader.ReadBody(framing, [&](const char*, size_t n) {
    delivered += n;
    return true;
  });
  if (delivered > size) __builtin_trap();
  if (whole && framing.kind == GCore::BodyFraming::kLength && delivered != framing.length) __builtin_trap();
  return 0;
}
