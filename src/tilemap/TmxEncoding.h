#pragma once
// Decoders for the byte encodings of tile layer data: base64 text and zlib
// streams. Both read only within the sizes they are given.
#include <cstdint>
#include <string>
#include <vector>

namespace tmx {

// Decodes standard base64 (RFC 4648 alphabet). Decoding stops at the first
// "=" or at any character outside the alphabet; a trailing group of two or
// three characters gives one or two bytes.
std::string decodeBase64(const std::string& text);

// Inflates a zlib stream. On success dest holds the inflated bytes; data
// longer than expectedSize is cut one byte past it, so that a caller can tell
// it was longer without the whole stream being inflated into memory. A corrupt
// or truncated stream is logged and gives false.
bool decompressZlib(const char* source, std::vector<unsigned char>& dest, std::int32_t sourceSize,
                    std::int32_t expectedSize);

}  // namespace tmx
