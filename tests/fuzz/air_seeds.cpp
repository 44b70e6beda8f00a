// Seeds of the "air" fuzzer: the reader tests' files of both forms.
#include "display/AirFixtures.h"
#include "fuzz/SeedFolder.h"

int main(int argc, char** argv) {
  fuzzseeds::SeedFolder seeds;
  if (!seeds.Open(argc, argv, "air")) return 2;
  seeds.Write(airtest::kLongForm);
  seeds.Write(airtest::kCompactForm);
  return 0;
}
