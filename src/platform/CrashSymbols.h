#pragma once
// Function names of the running executable for crash reports. The dynamic
// loader only knows exported functions, and most of ours are not (static,
// anonymous namespaces, inline), so a report would show bare offsets. Open()
// maps the executable's own file and finds its symbol table once, at install;
// Find() only reads that mapping, so a signal handler may call it: it neither
// allocates nor locks. Names are the linker's (mangled) names.
#include <cstddef>
#include <cstdint>

namespace GCore {

class CrashSymbols {
 public:
  CrashSymbols() = default;
  CrashSymbols(const CrashSymbols&) = delete;
  CrashSymbols& operator=(const CrashSymbols&) = delete;
  ~CrashSymbols();

  // Maps /proc/self/exe and finds its symbol table (the full one, or the
  // dynamic one of a stripped file). False when there is none to read.
  bool Open();

  // The name of the function of the executable that holds the code address,
  // with the address's offset into it; null when the address is not in the
  // executable's code or no function holds it.
  const char* Find(uintptr_t address, uintptr_t* offset) const;

 private:
  void Close();
  bool Fail();

  const uint8_t* file_ = nullptr;
  size_t fileSize_ = 0;
  const uint8_t* symbols_ = nullptr;  // Elf64_Sym records
  size_t symbolCount_ = 0;
  const char* names_ = nullptr;
  size_t namesSize_ = 0;
  uintptr_t loadBias_ = 0;  // memory address minus file address
  uintptr_t codeBegin_ = 0;  // the executable's code in memory
  uintptr_t codeEnd_ = 0;
};

}  // namespace GCore
