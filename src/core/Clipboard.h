#pragma once
// The clipboard as the engine reads it: UTF-8 text, with its length in UTF-16
// units (what text editing counts in). Main thread only: the text lives in
// one process-wide buffer that the next read replaces.

namespace GCore {

// The clipboard's text, or null (with a message) when there is none to read.
// `utf16Length`, when given, receives the text's length in UTF-16 units.
const char* GetClipboardText(int* utf16Length);

}  // namespace GCore
