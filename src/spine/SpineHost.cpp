#include "spine/SpineHost.h"

#include <cstdio>
#include <memory>

namespace GCore {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool ReadDiskFile(const char* path, std::vector<char>& bytes) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return false;
  bytes.clear();
  char chunk[16384];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  // A folder opens but does not read.
  return !std::ferror(file.get());
}

Texture* NoPageTexture(const char*, int32_t&, int32_t&) { return nullptr; }

void PrintToStandardError(const char* line) { std::fprintf(stderr, "%s\n", line); }

const SpineHost kDefaultHost = {ReadDiskFile, NoPageTexture, PrintToStandardError};
const SpineHost* g_host = &kDefaultHost;

}  // namespace

void SpineHost_install(const SpineHost* host) { g_host = host ? host : &kDefaultHost; }

const SpineHost& SpineHost_get() { return *g_host; }

}  // namespace GCore
