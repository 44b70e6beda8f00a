// Seeds of the sproto fuzzer: the tests' address-book schema with messages of
// its types, each preceded by the bundle's length as the fuzzer reads it.
#include <string>

#include "fuzz/SeedFolder.h"
#include "modules/SprotoBundle.h"

namespace {

using namespace sproto_test;

std::string Seed(const std::string& bundle, const std::string& message) {
  std::string seed;
  PutWord(seed, static_cast<uint32_t>(bundle.size()));
  return seed + bundle + message;
}

}  // namespace

int main(int argc, char** argv) {
  fuzzseeds::SeedFolder seeds;
  if (!seeds.Open(argc, argv, "sproto")) return 2;
  const std::string book = AddressBookBundle();
  const std::string phone = Message({Data(0, "555"), Inline(1, 2)});
  const std::string person =
      Message({Data(0, "Alice"), Inline(1, 7), Data(2, Array({phone, phone})), Inline(3, 1)});
  seeds.Write(Seed(book, person));
  seeds.Write(Seed(book, Message({Data(0, Array({person, person}))})));
  seeds.Write(Seed(book, Message({Data(0, std::string("\x04\x01\x00\x00\x00\x02\x00\x00\x00", 9)),
                                  Inline(2, 100), Data(4, Array({"a", "bc"}))})));
  seeds.Write(Seed(book, ""));
  seeds.Write(Seed(Bundle({Type("Empty", {})}, {}), Message({})));
  return 0;
}
