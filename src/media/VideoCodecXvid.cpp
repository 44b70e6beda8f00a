// The codec over xvidcore: the only file that includes it.
#include <xvid.h>

#include <cstdio>
#include <string>

#include "base/Log.h"
#include "media/VideoCodec.h"

namespace GCore {

namespace {

// The interface version the calls are written against.
constexpr int kXvidInterface = XVID_MAKE_VERSION(1, 3, 5);

struct CpuFlag {
  unsigned int bit;
  const char* name;
};

constexpr CpuFlag kCpuFlags[] = {
    {XVID_CPU_ASM, "ASM "},     {XVID_CPU_MMX, "MMX "},   {XVID_CPU_MMXEXT, "MMXEXT "},
    {XVID_CPU_SSE, "SSE "},     {XVID_CPU_SSE2, "SSE2 "}, {XVID_CPU_SSE3, "SSE3 "},
    {XVID_CPU_SSE41, "SSE41 "}, {XVID_CPU_3DNOW, "3DNOW "}, {XVID_CPU_3DNOWEXT, "3DNOWEXT "},
    {XVID_CPU_TSC, "TSC "},
};

class XvidCodec : public VideoCodec {
 public:
  ~XvidCodec() override { Destroy(); }

  int32_t Create(int32_t& threads) override {
    xvid_gbl_info_t info{};
    info.version = kXvidInterface;
    xvid_global(nullptr, XVID_GBL_INFO, &info, nullptr);
    if (info.build) LogErrorPrintf("xvidcore build version: %s\n", info.build);
    LogErrorPrintf("Bitstream version: %d.%d.%d\n", (info.actual_version >> 16) & 0xFF,
                   (info.actual_version >> 8) & 0xFF, info.actual_version & 0xFF);
    std::string flags = "Detected CPU flags: ";
    for (const CpuFlag& flag : kCpuFlags) {
      if (info.cpu_flags & flag.bit) flags += flag.name;
    }
    LogErrorPrintf("%s\n", flags.c_str());
    if (threads == 0) threads = info.num_threads;
    LogErrorPrintf("Detected %d cpus, using %d threads.\n", info.num_threads, threads);

    xvid_gbl_init_t init{};
    init.version = kXvidInterface;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);

    xvid_dec_create_t create{};
    create.version = kXvidInterface;
    create.num_threads = threads;
    const int result = xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr);
    handle_ = create.handle;
    return result;
  }

  int32_t Decode(const uint8_t* bitstream, int32_t length, uint8_t* frame, int32_t stride,
                 VideoStats& stats) override {
    stats = VideoStats{};
    if (!handle_) return -1;
    xvid_dec_frame_t call{};
    call.version = kXvidInterface;
    call.bitstream = const_cast<uint8_t*>(bitstream);
    call.length = length;
    // Without a buffer nothing may be written: a picture before any size
    // is dropped.
    call.output.plane[0] = frame;
    call.output.stride[0] = stride;
    call.output.csp = frame ? XVID_CSP_RGBA : XVID_CSP_NULL;
    xvid_dec_stats_t decoded{};
    decoded.version = kXvidInterface;
    const int used = xvid_decore(handle_, XVID_DEC_DECODE, &call, &decoded);
    stats.type = decoded.type;
    if (decoded.type == XVID_TYPE_VOL) {
      stats.width = decoded.data.vol.width;
      stats.height = decoded.data.vol.height;
    }
    return used;
  }

  int32_t Destroy() override {
    if (!handle_) return 0;
    const int result = xvid_decore(handle_, XVID_DEC_DESTROY, nullptr, nullptr);
    handle_ = nullptr;
    return result;
  }

 private:
  void* handle_ = nullptr;
};

}  // namespace

std::unique_ptr<VideoCodec> MakeXvidCodec() { return std::make_unique<XvidCodec>(); }

}  // namespace GCore
