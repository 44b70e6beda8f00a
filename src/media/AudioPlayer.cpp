#include "media/AudioPlayer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/Log.h"
#include "platform/Clock.h"

namespace GCore {
namespace {

// Just above the quietest gain of the curve, where a fade-in starts.
constexpr uint32_t kFadeInStartBits = 0x3B000004;

static_assert(std::endian::native == std::endian::little, "PCM buffers are little-endian in memory");

// Fade length in milliseconds as the engine has always rounded it.
int32_t FadeMilliseconds(int32_t fadeMs) {
  const float milliseconds = static_cast<float>(fadeMs) * 0.001f * 1000.0f;
  if (milliseconds >= 2147483520.0f) return INT32_MAX;
  return std::max(1, static_cast<int32_t>(milliseconds));
}

}  // namespace

AudioPlayer::~AudioPlayer() { ReleaseDecoder(); }

void AudioPlayer::Init(uint32_t) {}

bool AudioPlayer::Load(AudioCommand& command) {
  ReleaseDecoder();
  data_ = std::move(command.data);
  command.data.clear();
  // Decoding starts from one whole input buffer; shorter data reads as zeros.
  if (data_.size() < kMadInputBytes) data_.resize(kMadInputBytes, 0);
  size_ = std::min<uint32_t>(command.size, static_cast<uint32_t>(data_.size()));
  cursor_ = 0;
  loop_ = command.loop;
  feed_ = MadFeed{};
  pcm_.fill(0);
  std::memcpy(input_.data(), data_.data(), kMadInputBytes);
  decoder_.Begin();
  decoding_ = true;
  handedOutThisPass_ = false;
  return true;
}

void AudioPlayer::ReleaseDecoder() {
  if (!decoding_) return;
  decoder_.Finish();
  decoding_ = false;
}

void AudioPlayer::FadeIn(float targetGain, int32_t fadeMs) {
  SetState(AudioChannelState::FadingIn);
  fadeStart_ = timeGetTime();
  fadeRemaining_ = FadeMilliseconds(fadeMs);
  fadeTarget_ = VolumePosition(targetGain);
  fadeStep_ = fadeTarget_ / static_cast<float>(fadeRemaining_);
  volume_ = std::bit_cast<float>(kFadeInStartBits);
}

void AudioPlayer::FadeOut(int32_t fadeMs) {
  SetState(AudioChannelState::FadingOut);
  fadeStart_ = timeGetTime();
  fadeRemaining_ = FadeMilliseconds(fadeMs);
  fadeTarget_ = 0;
  fadeStep_ = -VolumePosition(volume_) / static_cast<float>(fadeRemaining_);
}

void AudioPlayer::PlayAtPosition(float position) {
  SetState(AudioChannelState::Playing);
  volume_ = CurveGain(position);
}

// Moves the volume along the curve by the time since the last step. A fade-in
// ends exactly at its target however late the last step comes; a fade-out
// ends the sound.
void AudioPlayer::ApplyFade() {
  const uint32_t now = timeGetTime();
  const uint32_t elapsed = now - fadeStart_;
  float position = VolumePosition(volume_) + static_cast<float>(elapsed) * fadeStep_;
  const int64_t remaining = static_cast<int64_t>(fadeRemaining_) - elapsed;
  fadeRemaining_ = static_cast<int32_t>(std::max<int64_t>(remaining, INT32_MIN));
  fadeStart_ = now;
  if (State() == AudioChannelState::FadingIn) position = std::min(position, fadeTarget_);
  volume_ = CurveGain(position);
  if (fadeRemaining_ >= 0) return;
  if (State() == AudioChannelState::FadingOut) {
    ReleaseDecoder();
    SetState(AudioChannelState::Stopped);
  } else {
    volume_ = CurveGain(fadeTarget_);
    SetState(AudioChannelState::Playing);
  }
}

void AudioPlayer::FeedInput() {
  const uint64_t end = static_cast<uint64_t>(cursor_) + feed_.wanted;
  if (end <= size_) {
    if (feed_.target) std::memcpy(feed_.target, data_.data() + cursor_, feed_.wanted);
    cursor_ = static_cast<uint32_t>(end);
    return;
  }
  feed_.endOfInput = 1;
  if (feed_.target) {
    const uint32_t remaining = size_ - cursor_;
    std::memset(feed_.target, 0, feed_.wanted);
    std::memcpy(feed_.target, data_.data() + cursor_, remaining);
    feed_.wanted = remaining;
  }
  cursor_ = size_;
}

void AudioPlayer::ApplyGain() {
  const float gain = CurveGain(VolumePosition(volume_) * GlobalVolume.load(std::memory_order_relaxed));
  int16_t samples[kPcmBufferBytes / 2];
  std::memcpy(samples, pcm_.data(), sizeof(samples));
  for (int16_t& sample : samples) sample = static_cast<int16_t>(static_cast<float>(sample) * gain);
  std::memcpy(pcm_.data(), samples, sizeof(samples));
}

const uint8_t* AudioPlayer::Decode(uint32_t& outBytes) {
  if (State() == AudioChannelState::Paused) {
    outBytes = kPcmBufferBytes;
    return silence_.data();
  }
  if (!decoding_) return nullptr;
  if (State() == AudioChannelState::FadingIn || State() == AudioChannelState::FadingOut) {
    ApplyFade();
    if (!decoding_) return nullptr;
  }
  for (;;) {
    switch (MadDecodeStep(input_.data(), pcm_.data(), decoder_, feed_)) {
      case MadStep::Error:
        LogPrintf("Unrecoverable error %s\n", feed_.message);
        ReleaseDecoder();
        return nullptr;
      case MadStep::NeedInput:
        FeedInput();
        break;
      case MadStep::BufferFull:
        handedOutThisPass_ = true;
        outputRate_ = decoder_.BufferRate();
        ApplyGain();
        outBytes = feed_.pcmBytes;
        return pcm_.data();
      case MadStep::EndOfInput:
        // A loop whose whole pass gave nothing would never give anything.
        if (!loop_ || !handedOutThisPass_) {
          SetState(AudioChannelState::Ended);
          return nullptr;
        }
        // A sound shorter than the restart point restarts at its end.
        cursor_ = std::min(kLoopRestartByte, size_);
        feed_.endOfInput = 0;
        handedOutThisPass_ = false;
        break;
      case MadStep::GoOn:
        break;
    }
  }
}

}  // namespace GCore
