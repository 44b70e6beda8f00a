#include "platform/CrashSymbols.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

namespace GCore {
namespace {

struct CodeRange {
  uintptr_t bias = 0;
  uintptr_t begin = UINTPTR_MAX;
  uintptr_t end = 0;
};

// The executable is the first object the loader lists: where it was loaded
// and where its code lies.
int TakeExecutable(dl_phdr_info* info, size_t, void* data) {
  auto* range = static_cast<CodeRange*>(data);
  range->bias = info->dlpi_addr;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_X)) continue;
    const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
    if (begin < range->begin) range->begin = begin;
    if (begin + segment.p_memsz > range->end) range->end = begin + segment.p_memsz;
  }
  return 1;
}

bool Inside(size_t offset, size_t length, size_t size) { return offset <= size && length <= size - offset; }

}  // namespace

CrashSymbols::~CrashSymbols() { Close(); }

void CrashSymbols::Close() {
  if (file_) munmap(const_cast<uint8_t*>(file_), fileSize_);
  file_ = nullptr;
  fileSize_ = 0;
  symbols_ = nullptr;
  symbolCount_ = 0;
  names_ = nullptr;
  namesSize_ = 0;
  codeBegin_ = codeEnd_ = loadBias_ = 0;
}

bool CrashSymbols::Fail() {
  Close();
  return false;
}

bool CrashSymbols::Open() {
  Close();
  const int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  void* mapping = MAP_FAILED;
  if (fstat(fd, &status) == 0 && status.st_size > 0) {
    mapping = mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  }
  close(fd);
  if (mapping == MAP_FAILED) return false;
  file_ = static_cast<const uint8_t*>(mapping);
  fileSize_ = static_cast<size_t>(status.st_size);

  Elf64_Ehdr header;
  if (fileSize_ < sizeof(header)) return Fail();
  std::memcpy(&header, file_, sizeof(header));
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr) ||
      !Inside(header.e_shoff, size_t{header.e_shnum} * sizeof(Elf64_Shdr), fileSize_)) {
    return Fail();
  }
  auto section = [&](size_t index) {
    Elf64_Shdr s;
    std::memcpy(&s, file_ + header.e_shoff + index * sizeof(Elf64_Shdr), sizeof(s));
    return s;
  };
  // The full table when the file has one, else the exported functions.
  for (const uint32_t wanted : {SHT_SYMTAB, SHT_DYNSYM}) {
    for (size_t i = 0; i < header.e_shnum && !symbols_; ++i) {
      const Elf64_Shdr table = section(i);
      if (table.sh_type != wanted || table.sh_entsize != sizeof(Elf64_Sym) || table.sh_link >= header.e_shnum) {
        continue;
      }
      const Elf64_Shdr strings = section(table.sh_link);
      if (!Inside(table.sh_offset, table.sh_size, fileSize_) ||
          !Inside(strings.sh_offset, strings.sh_size, fileSize_)) {
        continue;
      }
      symbols_ = file_ + table.sh_offset;
      symbolCount_ = table.sh_size / sizeof(Elf64_Sym);
      names_ = reinterpret_cast<const char*>(file_ + strings.sh_offset);
      namesSize_ = strings.sh_size;
    }
  }
  CodeRange code;
  dl_iterate_phdr(TakeExecutable, &code);
  if (!symbols_ || code.begin >= code.end) return Fail();
  loadBias_ = code.bias;
  codeBegin_ = code.begin;
  codeEnd_ = code.end;
  return true;
}

const char* CrashSymbols::Find(uintptr_t address, uintptr_t* offset) const {
  if (address < codeBegin_ || address >= codeEnd_) return nullptr;
  const uintptr_t fileAddress = address - loadBias_;
  // A scan rather than a sorted index: nothing to build at start-up, and a
  // crash has the time.
  for (size_t i = 0; i < symbolCount_; ++i) {
    Elf64_Sym symbol;
    std::memcpy(&symbol, symbols_ + i * sizeof(Elf64_Sym), sizeof(symbol));
    if (ELF64_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_shndx == SHN_UNDEF) continue;
    if (fileAddress < symbol.st_value || fileAddress - symbol.st_value >= symbol.st_size) continue;
    if (symbol.st_name >= namesSize_) return nullptr;
    const char* name = names_ + symbol.st_name;
    if (!memchr(name, '\0', namesSize_ - symbol.st_name)) return nullptr;
    *offset = fileAddress - symbol.st_value;
    return name;
  }
  return nullptr;
}

}  // namespace GCore
