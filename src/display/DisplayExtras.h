#pragma once
// State that few display objects use, in a record of its own made on first
// use: a scene of many sprites, most with no key track, video or template,
// keeps each object smaller by the size of these members.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/KeyTrack.h"

namespace GCore {

class VideoDecoder;

struct DisplayExtras {
  DisplayExtras();
  ~DisplayExtras();  // where the decoder's type is complete
  DisplayExtras(const DisplayExtras&) = delete;
  DisplayExtras& operator=(const DisplayExtras&) = delete;

  std::vector<std::unique_ptr<KeyTrack>> keyTracks;
  // Playback of a video media, made on its first frame for the media it
  // names; a decoder of another media is replaced.
  std::unique_ptr<VideoDecoder> video;
  // An entity made from a template: the template's name.
  std::optional<std::string> templateName;
};

}  // namespace GCore
