// Load time and peak memory of a 1000 x 1000 map whose tile layer is
// zlib-compressed base64, the common way map editors save large maps.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "ZlibLayer.h"
#include "tilemap/TmxMap.h"

// Heap accounting: every C++ allocation and every allocation of the XML
// reader goes through these, so the peak of live bytes during one load is
// the loader's own working memory (zlib's inflate state, some 40 KiB, aside),
// counted as the C allocator hands the blocks out.
namespace heap {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void* Allocate(std::size_t size) {
  void* pointer = std::malloc(size);
  if (!pointer) return nullptr;
  const std::size_t now = live += malloc_usable_size(pointer);
  std::size_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return pointer;
}

void Release(void* pointer) {
  if (!pointer) return;
  live -= malloc_usable_size(pointer);
  std::free(pointer);
}

}  // namespace heap

void* operator new(std::size_t size) {
  if (void* pointer = heap::Allocate(size)) return pointer;
  throw std::bad_alloc();
}
void operator delete(void* pointer) noexcept { heap::Release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { heap::Release(pointer); }

namespace {

constexpr unsigned kSide = 1000;
constexpr int kRuns = 10;

// A terrain-like layer: runs of the same tile with some variety and flips,
// so that it compresses about as well as a drawn map does.
std::string MapText() {
  std::vector<std::uint32_t> gids;
  gids.reserve(std::size_t(kSide) * kSide);
  std::uint32_t seed = 12345;
  for (unsigned y = 0; y < kSide; ++y) {
    for (unsigned x = 0; x < kSide; ++x) {
      seed = seed * 1103515245u + 12345u;
      std::uint32_t gid = ((x / 8 + y / 8) % 48) + 1;
      if ((seed >> 16) % 16 == 0) gid = (seed >> 8) % 64 + 1;
      if ((seed >> 20) % 64 == 0) gid |= 0x80000000u;
      gids.push_back(gid);
    }
  }

  const std::string side = std::to_string(kSide);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<map version=\"1.2\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" + side +
         "\" height=\"" + side + "\" tilewidth=\"32\" tileheight=\"32\">\n"
         " <tileset firstgid=\"1\" name=\"terrain\" tilewidth=\"32\" tileheight=\"32\" tilecount=\"64\" columns=\"8\">\n"
         "  <image source=\"terrain.png\" width=\"256\" height=\"256\"/>\n"
         " </tileset>\n"
         " <layer name=\"ground\" width=\"" + side + "\" height=\"" + side + "\">\n"
         "  " + benchmap::ZlibData(gids) + "\n"
         " </layer>\n"
         "</map>\n";
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;  // KiB on Linux
}

}  // namespace

int main() {
  const std::string folder = (std::filesystem::temp_directory_path() / ("qv-tmx-bench-" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/large.tmx";
  {
    std::ofstream(path, std::ios::binary) << MapText();
  }
  const auto fileBytes = std::filesystem::file_size(path);
  pugi::set_memory_management_functions(heap::Allocate, heap::Release);
  const long startKiB = PeakKiB();
  std::size_t peakHeap = 0;

  std::vector<double> times;
  std::size_t tiles = 0;
  for (int run = 0; run < kRuns; ++run) {
    tmx::Map map;
    heap::peak = heap::live.load();
    const std::size_t before = heap::live;
    const auto begin = std::chrono::steady_clock::now();
    const bool ok = map.load(path);
    const auto end = std::chrono::steady_clock::now();
    if (!ok || map.getLayers().size() != 1) {
      std::fprintf(stderr, "the benchmark map did not load\n");
      return 1;
    }
    tiles = static_cast<const tmx::TileLayer&>(*map.getLayers()[0]).getTiles().size();
    times.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
    peakHeap = std::max(peakHeap, heap::peak - before);
  }
  const long peakKiB = PeakKiB();
  std::filesystem::remove_all(folder);

  std::sort(times.begin(), times.end());
  std::printf("tmx load, %ux%u map, zlib base64 tile data (%.1f KiB file, %zu tiles)\n", kSide, kSide,
              double(fileBytes) / 1024.0, tiles);
  std::printf("  load time: median %.2f ms, min %.2f ms, max %.2f ms over %d runs\n", times[times.size() / 2],
              times.front(), times.back(), kRuns);
  std::printf("  peak heap during one load: %.2f MiB (the finished tile layer holds %.2f MiB)\n",
              double(peakHeap) / (1024.0 * 1024.0), double(tiles * sizeof(tmx::TileLayer::Tile)) / (1024.0 * 1024.0));
  std::printf("  peak memory of the process: %.1f MiB resident (%.1f MiB above the %.1f MiB before loading)\n", peakKiB / 1024.0,
              (peakKiB - startKiB) / 1024.0, startKiB / 1024.0);
  return 0;
}
