#pragma once
// The reading side of "eris": one Reader per unpersist run rebuilds the value
// graph from a stream, checking every count, index and type it meets before
// it uses it. Arrays grow with the data actually read, never to a size a
// stream merely claims. Internal to the module.
#include <cstdint>
#include <string>

#include "modules/ErisCommon.h"

extern "C" {
#include "lobject.h"
#include "lzio.h"
}

namespace GCore::eris {

class Reader : public Session {
 public:
  // `perms`, `refs` and `kinds` are absolute stack indices of the permanents
  // (key -> object), the objects by number and the numbers that hold
  // prototypes or upvalues instead of script values.
  Reader(lua_State* L, const Settings& settings, ZIO* input, int perms, int refs, int kinds);

  void ReadHeader();
  // Pushes the next value.
  void ReadValue() { ReadRecord(Kind::kValue); }

 private:
  // What a record must yield where it stands. A prototype is held by a
  // closure without upvalues (its carrier); an upvalue by a table whose
  // slot 1 is a closure holding it with one upvalue (its holder), followed
  // by (closure, index) pairs of every closure that shares it.
  enum class Kind { kValue = 0, kProto = 1, kUpvalue = 2 };

  // Primitive fields.
  uint8_t ReadByte();
  void ReadBytes(void* out, size_t n);
  uint64_t ReadRaw(int width);
  int ReadInt();
  uint64_t ReadSize();
  size_t ReadLength();
  void CheckWidths();

  // Records.
  void ReadRecord(Kind expected);
  void ReadTyped(int tag, Kind expected);
  void ReadReference(int32_t n, Kind expected);
  void ReadPermanent(Kind expected);
  void Register(Kind kind);
  void RegisterAs(int32_t n, Kind kind);
  [[noreturn]] void Mismatch(Kind expected, const char* got);

  // Pushes the next `length` bytes as a string.
  void PushBytes(size_t length);
  void ReadString();
  void ReadTable();
  void ReadUserdata();
  void ReadSpecial(int type);
  void ReadMetatable();
  void ReadClosure();
  void ReadScriptClosure(int upvalues);
  void ReadCClosure(int upvalues);
  void ReadUpvalue();
  void ReadProto();
  void ReadProtoArrays(Proto* p);
  void ReadDebugInfo(Proto* p);
  TString* ReadOptionalString();
  void ReadThread();
  // The next open-upvalue entry of a thread (slot + 1), or 0 at the end.
  uint64_t ReadOpenUpvalueSlot();

  // Points upvalue `index` of `closure` at `upvalue` and releases the old one.
  void Repoint(LClosure* closure, int index, UpVal* upvalue);
  // Makes closure `closure` (at stack index `at`) use the upvalue whose
  // table is on top, and records it among the upvalue's users.
  void Share(LClosure* closure, int at, int index);
  // Moves every user of the upvalue table on top to `upvalue`.
  void MoveUsers(UpVal* upvalue);

  ZIO* const input_;
  const int perms_;
  const int refs_;
  const int kinds_;
  int int_width_ = 0;
  int size_width_ = 0;
  bool header_read_ = false;
};

}  // namespace GCore::eris
