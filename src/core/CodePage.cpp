#include "core/CodePage.h"

#include <iconv.h>

#include <vector>

namespace GCore {

std::optional<std::string> AnsiToUtf8(std::string_view ansi) {
  iconv_t handle = iconv_open("UTF-8", "GBK");
  if (handle == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // A GBK character of one or two bytes takes at most three bytes of UTF-8.
  std::vector<char> output(ansi.size() * 3 + 1);
  char* in = const_cast<char*>(ansi.data());  // iconv's signature only; it does not write
  char* out = output.data();
  size_t inLeft = ansi.size();
  size_t outLeft = output.size();
  const size_t result = iconv(handle, &in, &inLeft, &out, &outLeft);
  iconv_close(handle);
  if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
  return std::string(output.data(), static_cast<size_t>(out - output.data()));
}

}  // namespace GCore
