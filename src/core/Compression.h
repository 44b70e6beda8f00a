#pragma once
// Whole strings through zlib (the zlib format, default level).
#include <cstddef>
#include <string>
#include <string_view>

namespace GCore {

// False when zlib fails.
bool DeflateWhole(std::string_view bytes, std::string& out);

// Inflates one whole zlib stream into `out`, producing at most `limit` bytes.
// Returns zlib's code as uncompress would: Z_OK (0), Z_BUF_ERROR (-5) when the
// result would pass the limit, Z_DATA_ERROR (-3) for damaged or cut-off data.
int InflateWhole(std::string_view bytes, size_t limit, std::string& out);

}  // namespace GCore
