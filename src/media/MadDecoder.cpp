#include "media/MadDecoder.h"

#include <mad.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace GCore {

struct MadDecoder::Libmad {
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
  bool active = false;
};

namespace {

constexpr uint32_t kDitherSeed = 0xA8B9FF7E;

void Say(MadFeed& feed, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Say(MadFeed& feed, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(feed.message, sizeof(feed.message), format, args);
  va_end(args);
}

// Fixed point to 16 bits with a triangular dither from a linear congruential
// generator that restarts with every frame, so a stream always decodes to the
// same samples.
class Dither {
 public:
  int16_t operator()(mad_fixed_t sample) {
    const uint32_t previous = state_;
    state_ = state_ * 1664525u + 1013904223u;
    int64_t value = static_cast<int64_t>(sample) - (previous & 0x1FFF) + (state_ & 0x1FFF) + 4096;
    value = std::clamp<int64_t>(value, -MAD_F_ONE, MAD_F_ONE - 1);
    return static_cast<int16_t>(value >> (MAD_F_FRACBITS + 1 - 16));
  }

 private:
  uint32_t state_ = kDitherSeed;
};

uint8_t* PutSample(uint8_t* out, int16_t sample) {
  const auto bits = static_cast<uint16_t>(sample);
  out[0] = static_cast<uint8_t>(bits & 0xFF);
  out[1] = static_cast<uint8_t>(bits >> 8);
  return out + 2;
}

}  // namespace

MadDecoder::MadDecoder() = default;

MadDecoder::~MadDecoder() { Finish(); }

void MadDecoder::Begin() {
  // Libmad's state (some 22 KiB) is taken by the first sound a channel
  // plays: a channel never used costs nothing.
  if (!mad_) mad_ = std::make_unique<Libmad>();
  Finish();
  std::memset(&mad_->stream, 0, sizeof(mad_->stream));
  std::memset(&mad_->frame, 0, sizeof(mad_->frame));
  std::memset(&mad_->synth, 0, sizeof(mad_->synth));
  mad_stream_init(&mad_->stream);
  mad_frame_init(&mad_->frame);
  mad_synth_init(&mad_->synth);
  mad_->active = true;
  writePosition_ = 0;
  fillingRate_ = 0;
  handedOutRate_ = 0;
  framePending_ = false;
}

void MadDecoder::Finish() {
  if (!mad_ || !mad_->active) return;
  mad_frame_finish(&mad_->frame);
  mad_stream_finish(&mad_->stream);
  mad_->active = false;
}

// Full when a frame of the same length would no longer fit: two MPEG-1
// frames, four MPEG-2 ones.
MadStep MadDecoder::WriteFrame(uint8_t* pcm, MadFeed& feed) {
  const mad_pcm& frame = mad_->synth.pcm;
  fillingRate_ = frame.samplerate;
  uint8_t* out = pcm + writePosition_;
  Dither dither;
  const bool mono = mad_->frame.header.mode == MAD_MODE_SINGLE_CHANNEL;
  for (uint32_t i = 0; i < frame.length; ++i) {
    const int16_t left = dither(frame.samples[0][i]);
    out = PutSample(out, left);
    out = PutSample(out, mono ? left : dither(frame.samples[1][i]));
  }
  writePosition_ = static_cast<uint32_t>(out - pcm);
  feed.pcmBytes = writePosition_;
  if (kPcmBufferBytes - writePosition_ >= frame.length * 4u) return MadStep::GoOn;
  writePosition_ = 0;
  handedOutRate_ = fillingRate_;
  return MadStep::BufferFull;
}

MadStep MadDecodeStep(uint8_t* input, uint8_t* pcm, MadDecoder& decoder, MadFeed& feed) {
  MadDecoder::Libmad& mad = *decoder.mad_;
  feed.message[0] = '\0';
  feed.target = nullptr;

  if (decoder.framePending_) {
    decoder.framePending_ = false;
    return decoder.WriteFrame(pcm, feed);
  }
  if (feed.endOfInput && feed.wanted == 0) {
    Say(feed, "End of input stream");
    return MadStep::EndOfInput;
  }
  // The first request only moves the player's cursor: the player placed the
  // stream's first input bytes before decoding began.
  if (feed.wanted == 0 && feed.kept == 0 && mad.stream.buffer == nullptr) {
    feed.wanted = kMadInputBytes;
    return MadStep::NeedInput;
  }
  if (mad.stream.buffer == nullptr || mad.stream.error == MAD_ERROR_BUFLEN) {
    if (feed.endOfInput) {
      std::memset(input + feed.kept + feed.wanted, 0, kMadGuardBytes);
      feed.wanted += kMadGuardBytes;
    }
    mad_stream_buffer(&mad.stream, input, feed.kept + feed.wanted);
    mad.stream.error = MAD_ERROR_NONE;
  }

  if (mad_frame_decode(&mad.frame, &mad.stream) != 0) {
    if (MAD_RECOVERABLE(mad.stream.error)) {
      Say(feed, "Recoverable frame level error (%s)", mad_stream_errorstr(&mad.stream));
      return MadStep::GoOn;
    }
    if (mad.stream.error == MAD_ERROR_BUFLEN) {
      Say(feed, "Need more input (%s)", mad_stream_errorstr(&mad.stream));
      const auto kept = static_cast<uint32_t>(mad.stream.bufend - mad.stream.next_frame);
      // A frame can never fill the whole input buffer; refuse rather than ask
      // for nothing again and again.
      if (kept >= kMadInputBytes) {
        Say(feed, "Unrecoverable frame level error (%s).", "frame larger than the input buffer");
        return MadStep::Error;
      }
      std::memmove(input, mad.stream.next_frame, kept);
      feed.kept = kept;
      feed.wanted = kMadInputBytes - kept;
      feed.target = input + kept;
      return MadStep::NeedInput;
    }
    Say(feed, "Unrecoverable frame level error (%s).", mad_stream_errorstr(&mad.stream));
    return MadStep::Error;
  }

  mad_synth_frame(&mad.synth, &mad.frame);
  const mad_pcm& frame = mad.synth.pcm;
  // libmad never synthesises more than 1152 samples, a buffer's worth of
  // bytes is room for two such frames, and a buffer is handed out whenever
  // the next frame might not fit, so a frame always fits an empty buffer.
  const bool fits = kPcmBufferBytes - decoder.writePosition_ >= frame.length * 4u;
  if (decoder.writePosition_ > 0 && (!fits || frame.samplerate != decoder.fillingRate_)) {
    decoder.framePending_ = true;
    feed.pcmBytes = decoder.writePosition_;
    decoder.handedOutRate_ = decoder.fillingRate_;
    decoder.writePosition_ = 0;
    return MadStep::BufferFull;
  }
  return decoder.WriteFrame(pcm, feed);
}

}  // namespace GCore
