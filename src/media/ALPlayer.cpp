#include "media/ALPlayer.h"

#include <AL/al.h>

#include <array>
#include <type_traits>

#include "base/Log.h"

namespace GCore {
namespace {

static_assert(std::is_same_v<ALuint, uint32_t>, "OpenAL names are kept as uint32_t");

uint32_t RingIndex(int64_t position) { return static_cast<uint32_t>(((position % 4) + 4) % 4); }

}  // namespace

ALPlayer::~ALPlayer() {
  alDeleteSources(1, &source_);
  alDeleteBuffers(kRingSize, buffers_.data());
  if (alGetError() != AL_NO_ERROR) LogErrorPrintf("Failed to delete object IDs\n");
}

void ALPlayer::Init(uint32_t channel) {
  AudioPlayer::Init(channel);
  alGenBuffers(kRingSize, buffers_.data());
  alGenSources(1, &source_);
  alSource3f(source_, AL_POSITION, 0.0f, 0.0f, -1.0f);
  alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
  alSourcef(source_, AL_ROLLOFF_FACTOR, 0.0f);
}

bool ALPlayer::Load(AudioCommand& command) {
  // What waited in the spare belongs to the sound this one replaces.
  waitingRate_ = 0;
  return AudioPlayer::Load(command);
}

ALPlayer::Queued ALPlayer::QueueSpare(uint32_t rate) {
  ALint queued = 0;
  alGetSourcei(source_, AL_BUFFERS_QUEUED, &queued);
  if (queued > 0 && rate != queuedRate_) {
    ALint processed = 0;
    alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
    if (processed < queued) {
      waitingRate_ = rate;
      return Queued::Waits;
    }
    std::array<ALuint, kRingSize> played{};
    alSourceUnqueueBuffers(source_, processed, played.data());
  }
  waitingRate_ = 0;
  alSourceQueueBuffers(source_, 1, &buffers_[ring_]);
  if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
    LogPrintf("Error alSourceQueueBuffers :( %d\n", error);
    return Queued::Stopped;
  }
  ring_ = RingIndex(ring_ + 1);
  const bool restarted = queued > 0 && rate != queuedRate_;
  queuedRate_ = rate;
  return restarted ? Queued::Restarted : Queued::Yes;
}

// The queued buffers are always the ones just before the spare in the ring,
// oldest first, so the counts of queued and played buffers say which to refill.
ALPlayer::Queued ALPlayer::Refill() {
  ALint processed = 0;
  ALint queued = 0;
  alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
  alGetSourcei(source_, AL_BUFFERS_QUEUED, &queued);
  const uint32_t first = RingIndex(static_cast<int64_t>(ring_) - queued);
  const uint32_t end = RingIndex(static_cast<int64_t>(first) + processed);
  uint32_t next = RingIndex(ring_ + 1);
  if (next == end) return Queued::Stopped;

  bool reuse = false;
  while (next != end) {
    if (next == first) reuse = true;
    if (reuse) {
      ALuint played = 0;
      alSourceUnqueueBuffers(source_, 1, &played);
    }
    uint32_t bytes = 0;
    const uint8_t* pcm = Decode(bytes);
    if (!pcm) return Queued::Stopped;
    alBufferData(buffers_[ring_], AL_FORMAT_STEREO16, pcm, static_cast<ALsizei>(bytes),
                 static_cast<ALsizei>(OutputRate()));
    if (const ALenum error = alGetError(); error != AL_NO_ERROR) {
      LogPrintf("Error buffering :( %d\n", error);
      return Queued::Stopped;
    }
    const Queued spare = QueueSpare(OutputRate());
    if (spare != Queued::Yes) return spare;
    next = RingIndex(next + 1);
  }
  return Queued::Yes;
}

int32_t ALPlayer::Update() {
  alGetError();
  if (waitingRate_ != 0) {
    const Queued spare = QueueSpare(waitingRate_);
    if (spare == Queued::Stopped) return 0;
    if (spare == Queued::Waits) return 1;
  }
  Queued refilled = Refill();
  while (refilled == Queued::Restarted) refilled = Refill();
  if (refilled == Queued::Stopped) return 0;
  ALint state = 0;
  alGetSourcei(source_, AL_SOURCE_STATE, &state);
  if (state != AL_PLAYING) alSourcePlay(source_);
  return 1;
}

}  // namespace GCore
