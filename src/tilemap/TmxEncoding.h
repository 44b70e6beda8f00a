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

// Length of inflated data beyond which a stream is no longer followed: more
// than any map may hold.
inline constexpr std::uint64_t maxCountedLength = std::uint64_t(1) << 27;

// Inflates a zlib stream. On success dest holds the inflated bytes; data
// longer than expectedSize is cut one byte past it, so that a caller can tell
// it was longer without the whole stream being inflated into memory. The rest
// is still inflated (not kept) to check the whole stream and to learn its
// length, which goes to *inflatedLength when given (a stream longer than
// maxCountedLength is cut there unchecked, with a length past that bound).
// A corrupt or truncated stream, or bytes after its end, are logged and give
// false.
bool decompressZlib(const char* source, std::vector<unsigned char>& dest, std::int32_t sourceSize,
                    std::int32_t expectedSize, std::uint64_t* inflatedLength = nullptr);

}  // namespace tmx
