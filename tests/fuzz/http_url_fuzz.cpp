// libFuzzer target of the HTTP client's URLs: the input's first line is a
// URL as a caller gives it, the rest the header of a redirect response whose
// Location the client would follow. A URL that is taken must make a request
// line and a Host line that nothing can break: no byte at or below the space
// and no DEL, a host name, a port in 1..65535 and a path that starts with "/".
// Built and run by tests/fuzz/CMakeLists.txt; seeds: tests/net/fuzz_seeds.py.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/HttpFetcher.h"
#include "net/HttpUrl.h"

namespace {

bool Clean(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
  }
  return true;
}

void Check(std::string_view url) {
  GCore::HttpUrl parsed;
  if (!GCore::ParseHttpUrl(url, parsed)) return;
  if (url.size() >= GCore::kHttpUrlLimit) __builtin_trap();
  if (parsed.name.empty() || parsed.port < 1 || parsed.port > 65535) __builtin_trap();
  if (parsed.path.empty() || parsed.path[0] != '/') __builtin_trap();
  if (!Clean(parsed.hostText) || !Clean(parsed.path)) __builtin_trap();
  if (parsed.hostText.find('/') != std::string::npos) __builtin_trap();
  if (parsed.hostText.compare(0, parsed.name.size(), parsed.name) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t lineEnd = input.find('\n');
  Check(input.substr(0, lineEnd));
  if (lineEnd == std::string_view::npos) return 0;
  GCore::HttpResponseHeader header;
  if (!GCore::ParseResponseHeader(std::string(input.substr(lineEnd + 1)), header)) return 0;
  if (const auto target = GCore::RedirectTarget(header)) {
    if (target->find(' ') != std::string::npos) __builtin_trap();
    Check(*target);
  }
  return 0;
}
