#pragma once
// The MP3 decoding step over libmad. A player keeps one fixed input buffer and
// one fixed PCM buffer and calls MadDecodeStep again and again; the step tells
// it when to feed more input, when a PCM buffer is full and when the input has
// ended. Nothing here allocates while streaming. libmad's types stay inside
// MadDecoder.cpp. Audio thread only.
#include <cstdint>
#include <memory>

namespace GCore {

// Input buffer capacity and the zero guard libmad needs behind the last frame.
constexpr uint32_t kMadInputBytes = 46080;
constexpr uint32_t kMadGuardBytes = 8;
// PCM buffer: interleaved 16-bit little-endian stereo, two 1152-sample frames
// (MPEG-1) or four 576-sample ones (MPEG-2 and 2.5). Every sample in one
// buffer has the same rate.
constexpr uint32_t kPcmBufferBytes = 9216;

enum class MadStep : int32_t {
  Error = 0,       // unrecoverable; the message says why
  NeedInput = 1,   // copy `wanted` bytes to `target` (none when target is null)
  BufferFull = 2,  // `pcmBytes` bytes of PCM are ready, at the decoder's BufferRate()
  EndOfInput = 3,
  GoOn = 4,
};

// What the step and the player tell each other.
struct MadFeed {
  char message[256] = {};
  uint32_t pcmBytes = 0;
  uint32_t endOfInput = 0;
  uint32_t wanted = 0;
  uint32_t kept = 0;
  uint8_t* target = nullptr;  // inside the input buffer, or null
};

class MadDecoder {
 public:
  MadDecoder();
  ~MadDecoder();
  MadDecoder(const MadDecoder&) = delete;
  MadDecoder& operator=(const MadDecoder&) = delete;

  // Resets the decoder for a new stream; Finish must follow before the next Begin.
  void Begin();
  void Finish();

  // Sample rate of the PCM buffer reported full last.
  uint32_t BufferRate() const { return handedOutRate_; }

 private:
  friend MadStep MadDecodeStep(uint8_t* input, uint8_t* pcm, MadDecoder& decoder, MadFeed& feed);
  struct Libmad;
  // Appends the frame synthesised last to the PCM buffer.
  MadStep WriteFrame(uint8_t* pcm, MadFeed& feed);

  std::unique_ptr<Libmad> mad_;
  uint32_t writePosition_ = 0;
  uint32_t fillingRate_ = 0;     // rate of the samples in the buffer being filled
  uint32_t handedOutRate_ = 0;
  // A frame synthesised but not yet written: it did not fit the buffer, or its
  // rate differed from the samples already there.
  bool framePending_ = false;
};

// One step, on a decoder that has begun a stream: `input` has room for
// kMadInputBytes plus the guard, `pcm` for kPcmBufferBytes.
MadStep MadDecodeStep(uint8_t* input, uint8_t* pcm, MadDecoder& decoder, MadFeed& feed);

}  // namespace GCore
