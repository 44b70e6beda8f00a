#pragma once
// What minizip tells of the current entry of an archive, made safe to act
// on: which compression methods it really decodes, and the entry's size when
// the central header leaves it to the zip64 extra field.
#include <minizip/unzip.h>

namespace GCore {

// Stored and deflate. minizip, built without bzip2, hands out the entries of
// any other method (bzip2, LZMA, ...) still compressed, as if they were the
// content.
bool IsReadableZipMethod(uLong method);

// The uncompressed size of the current entry. Archivers that force zip64
// headers (Info-ZIP's "zip -fz") write 0xFFFFFFFF in the central header and
// the size in the zip64 extra field, which minizip does not always find
// there. False when the size is given nowhere.
bool CurrentZipEntrySize(unzFile zip, const unz_file_info64& info, ZPOS64_T& size);

}  // namespace GCore
