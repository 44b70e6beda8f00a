#pragma once
// Builds sproto schema bundles and messages byte by byte for tests: a message
// is a slot count, the slots, then a data part (length and bytes) for each
// data slot; a run of missing tags becomes one skip slot.
#include <cstdint>
#include <string>
#include <vector>

namespace sproto_test {

struct Entry {
  int tag;
  bool data;
  int value;          // inline entries
  std::string bytes;  // data entries
};

inline Entry Inline(int tag, int value) { return {tag, false, value, {}}; }
inline Entry Data(int tag, std::string bytes) { return {tag, true, 0, std::move(bytes)}; }

inline void PutWord(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}

inline void PutDword(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string Message(const std::vector<Entry>& entries) {
  std::vector<uint32_t> slots;
  std::string parts;
  int last = -1;
  for (const Entry& e : entries) {
    if (e.tag > last + 1) slots.push_back(static_cast<uint32_t>(2 * (e.tag - last - 1) - 1));
    if (e.data) {
      slots.push_back(0);
      PutDword(parts, static_cast<uint32_t>(e.bytes.size()));
      parts += e.bytes;
    } else {
      slots.push_back(static_cast<uint32_t>((e.value + 1) * 2));
    }
    last = e.tag;
  }
  std::string out;
  PutWord(out, static_cast<uint32_t>(slots.size()));
  for (uint32_t slot : slots) PutWord(out, slot);
  return out + parts;
}

inline std::string Array(const std::vector<std::string>& records) {
  std::string out;
  for (const std::string& r : records) {
    PutDword(out, static_cast<uint32_t>(r.size()));
    out += r;
  }
  return out;
}

constexpr int kNone = -1;

inline std::string Field(const std::string& name, int tag, int builtin, int structIndex = kNone,
                         bool array = false, int key = kNone) {
  std::vector<Entry> e{Data(0, name)};
  if (builtin != kNone) e.push_back(Inline(1, builtin));
  if (structIndex != kNone) e.push_back(Inline(2, structIndex));
  e.push_back(Inline(3, tag));
  if (array) e.push_back(Inline(4, 1));
  if (key != kNone) e.push_back(Inline(5, key));
  return Message(e);
}

inline std::string Type(const std::string& name, const std::vector<std::string>& fields) {
  return Message({Data(0, name), Data(1, Array(fields))});
}

inline std::string Protocol(const std::string& name, int tag, int request = kNone, int response = kNone) {
  std::vector<Entry> e{Data(0, name), Inline(1, tag)};
  if (request != kNone) e.push_back(Inline(2, request));
  if (response != kNone) e.push_back(Inline(3, response));
  return Message(e);
}

inline std::string Bundle(const std::vector<std::string>& types, const std::vector<std::string>& protocols) {
  return Message({Data(0, Array(types)), Data(1, Array(protocols))});
}

// Person (0), PhoneNumber (1), AddressBook (2, a map of Person by id) and Data
// (3, every built-in type, plain and in arrays, with a gap in its tags).
inline std::string AddressBookBundle() {
  const int kInteger = 0, kBoolean = 1, kString = 2;
  return Bundle(
      {Type("Person", {Field("name", 0, kString), Field("id", 1, kInteger),
                       Field("phone", 2, kNone, 1, true), Field("online", 3, kBoolean)}),
       Type("PhoneNumber", {Field("number", 0, kString), Field("type", 1, kInteger)}),
       Type("AddressBook", {Field("person", 0, kNone, 0, true, 1)}),
       Type("Data", {Field("numbers", 0, kInteger, kNone, true), Field("bools", 1, kBoolean, kNone, true),
                     Field("number", 2, kInteger), Field("strs", 4, kString, kNone, true)})},
      {Protocol("foobar", 1, 0, 2), Protocol("noreq", 2, kNone, 0), Protocol("bare", 3)});
}

}  // namespace sproto_test
