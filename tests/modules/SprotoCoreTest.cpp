// The sproto core without Lua: the schema dump, lookups, and the pack and
// unpack contract for buffers that are too small.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "modules/Sproto.h"
#include "modules/SprotoBundle.h"

namespace {

using namespace sproto_test;

struct SprotoDeleter {
  void operator()(GCore::sproto* sp) const { GCore::SprotoRelease(sp); }
};
using SprotoPtr = std::unique_ptr<GCore::sproto, SprotoDeleter>;

SprotoPtr Create(const std::string& bundle) { return SprotoPtr(GCore::SprotoCreate(bundle.data(), bundle.size())); }

TEST(SprotoCore, DumpPrintsTypesFieldsAndProtocols) {
  SprotoPtr sp = Create(AddressBookBundle());
  ASSERT_TRUE(sp);
  testing::internal::CaptureStdout();
  GCore::SprotoDump(sp.get());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "=== 4 types ===\n"
            "Person\n"
            "\tname (0) string\n"
            "\tid (1) integer\n"
            "\tphone (2) *PhoneNumber\n"
            "\tonline (3) boolean\n"
            "PhoneNumber\n"
            "\tnumber (0) string\n"
            "\ttype (1) integer\n"
            "AddressBook\n"
            "\tperson (0) *Person(1)\n"
            "Data\n"
            "\tnumbers (0) *integer\n"
            "\tbools (1) *boolean\n"
            "\tnumber (2) integer\n"
            "\tstrs (4) *string\n"
            "=== 3 protocol ===\n"
            "\tfoobar (1) request:Person response:AddressBook\n"
            "\tnoreq (2) request:(null) response:Person\n"
            "\tbare (3) request:(null)\n");
}

TEST(SprotoCore, TypeLayoutAndLookups) {
  SprotoPtr sp = Create(AddressBookBundle());
  ASSERT_TRUE(sp);
  const GCore::sproto_type* person = GCore::SprotoType(sp.get(), "Person");
  ASSERT_NE(person, nullptr);
  EXPECT_EQ(person->base, 0);
  EXPECT_EQ(person->slotBound, 4);
  EXPECT_EQ(GCore::FindTag(person, 2)->name, std::string("phone"));
  EXPECT_EQ(GCore::FindTag(person, 4), nullptr);
  EXPECT_EQ(GCore::FindTag(person, -1), nullptr);

  // Tags 0, 1, 2, 4: not contiguous, found by search; one gap adds a slot.
  const GCore::sproto_type* data = GCore::SprotoType(sp.get(), "Data");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->base, -1);
  EXPECT_EQ(data->slotBound, 5);
  EXPECT_EQ(GCore::FindTag(data, 4)->name, std::string("strs"));
  EXPECT_EQ(GCore::FindTag(data, 3), nullptr);
  EXPECT_EQ(GCore::FindTag(data, 5), nullptr);

  EXPECT_EQ(GCore::SprotoType(sp.get(), "Nobody"), nullptr);
  EXPECT_EQ(GCore::SprotoProtoTag(sp.get(), "noreq"), 2);
  EXPECT_EQ(GCore::SprotoProtoTag(sp.get(), "nothing"), -1);
  ASSERT_NE(GCore::QueryProto(sp.get(), 3), nullptr);
  EXPECT_EQ(GCore::QueryProto(sp.get(), 3)->request, nullptr);
  EXPECT_EQ(GCore::QueryProto(sp.get(), 4), nullptr);
}

TEST(SprotoCore, EmptyFieldArrayGivesAHeaderOnlyType) {
  SprotoPtr sp = Create(Bundle({Type("Empty", {})}, {}));
  ASSERT_TRUE(sp);
  const GCore::sproto_type* st = GCore::SprotoType(sp.get(), "Empty");
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(st->n, 0);
  EXPECT_EQ(st->base, -1);
  EXPECT_EQ(st->slotBound, 0);
  EXPECT_EQ(GCore::FindTag(st, 0), nullptr);
  uint8_t out[2];
  EXPECT_EQ(GCore::SprotoEncode(st, out, sizeof(out), [](const GCore::FieldArg*) { return 0; }, nullptr), 2);
  EXPECT_EQ(GCore::SprotoEncode(st, out, 1, [](const GCore::FieldArg*) { return 0; }, nullptr), -1);
}

TEST(SprotoCore, PackAndUnpackReportTheFullSizeOfWhatDoesNotFit) {
  std::string input(64, '\x11');
  input += std::string(16, '\0');
  std::vector<uint8_t> full(200);
  const int64_t size = GCore::SprotoPack(input.data(), static_cast<int64_t>(input.size()), full.data(), 200);
  EXPECT_EQ(size, 2 + 64 + 2);
  // A short buffer gets a prefix of the same bytes, and nothing past its end
  // (a heap buffer of the exact size, so overruns show under the sanitizer).
  for (int64_t room = 0; room < size; ++room) {
    std::unique_ptr<uint8_t[]> part(new uint8_t[static_cast<size_t>(room) + 1]);
    EXPECT_EQ(GCore::SprotoPack(input.data(), static_cast<int64_t>(input.size()), part.get(), room), size);
    EXPECT_EQ(memcmp(part.get(), full.data(), static_cast<size_t>(room)), 0);
  }
  std::unique_ptr<uint8_t[]> small(new uint8_t[10]);
  EXPECT_EQ(GCore::SprotoUnpack(full.data(), size, small.get(), 10), static_cast<int64_t>(input.size()));
  std::vector<uint8_t> back(input.size());
  EXPECT_EQ(GCore::SprotoUnpack(full.data(), size, back.data(), static_cast<int64_t>(back.size())),
            static_cast<int64_t>(input.size()));
  EXPECT_EQ(memcmp(back.data(), input.data(), input.size()), 0);
}

TEST(SprotoCore, EveryPrefixOfABundleIsRejected) {
  const std::string bundle = AddressBookBundle();
  for (size_t n = 0; n < bundle.size(); ++n) {
    // Heap copies of the exact length: reading past the end would show.
    std::unique_ptr<char[]> prefix(new char[n + 1]);
    memcpy(prefix.get(), bundle.data(), n);
    SprotoPtr sp(GCore::SprotoCreate(prefix.get(), n));
    EXPECT_FALSE(sp) << "prefix of " << n << " bytes";
  }
}

}  // namespace
