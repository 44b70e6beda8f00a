// Seeds of the markup fuzzer: texts of the markup tests, each after the
// zero byte that means no byte limit.
#include <string>

#include "fuzz/SeedFolder.h"

int main(int argc, char** argv) {
  fuzzseeds::SeedFolder seeds;
  if (!seeds.Open(argc, argv, "markup")) return 2;
  const char* const texts[] = {
      "A[br]B",         "[ff]x[/0]",   "[12]x[/a]",          "[tb=40]x",
      "[wt=300]x",      "[sp=12]",     "[a=05http://x]go[/a]", "[im=51050001]x",
      "[zz]",           "[a=0",        "[03]a[a=05x]b[/a]c[ff]d[00]e",
      "\xE4\xB8\xAD\xC3\xA9", "ab\xE4\xB8", "\xF0\x9F\x98\x80",
  };
  for (const char* text : texts) seeds.Write(std::string(1, '\0') + text);
  return 0;
}
