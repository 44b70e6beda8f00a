// Media frames of display objects: the frame of an air animation, the cell
// of an image grid, the current picture of a video, or the image itself.
#include <cstdio>
#include <cstring>

#include "base/Log.h"
#include "core/DrawEpoch.h"
#include "core/GameIF.h"
#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "display/AirParser.h"
#include "display/DisplayObject.h"
#include "display/DisplayObjectContainer.h"
#include "media/VideoDecoder.h"
#include "render/Image.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore {

namespace {

constexpr uint16_t kHoldForever = 65535;
// More frames than this in one step means a long pause: the rest of the
// backlog is dropped, keeping the phase within the current frame.
constexpr size_t kMaxFrameAdvance = 65536;

uint32_t GameTime() { return g_game ? g_game->gameTime : 0; }
uint32_t LastStep() { return g_game ? g_game->lastStep : 0; }

// The image shows the picture from now on; its texture owns it.
void ShowPicture(Image& image, std::unique_ptr<uint8_t[]> picture, int32_t width, int32_t height) {
  // Video has no transparency, whatever the codec leaves in the alpha bytes.
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < pixels; ++i) picture[i * 4 + 3] = 255;
  Texture* texture = image.texture;
  texture->width = width;
  texture->height = height;
  texture->pixels = std::move(picture);
  texture->dirty = true;
  texture->dirtyRowsBegin = texture->dirtyRowsEnd = 0;
  image.x = image.y = 0;
  image.width = static_cast<float>(width);
  image.height = static_cast<float>(height);
  image.UpdateTexCoords();
  if (texture->Kind() == kKindRenderTarget) {
    image.v = 1.0f;
    image.dv = -1.0f;
  }
}

// The frame after `index`: at the end, the loop start (the loop index's low
// 16 bits as a signed number), or the last frame when that is not a frame.
uint16_t NextFrame(const AirAction& action, uint16_t index) {
  const size_t count = action.frames.size();
  if (static_cast<size_t>(index) + 1 < count) return static_cast<uint16_t>(index + 1);
  const int16_t loop = static_cast<int16_t>(static_cast<uint32_t>(action.loopIndex) & 0xFFFFu);
  if (loop < 0 || static_cast<size_t>(loop) >= count) return static_cast<uint16_t>(count - 1);
  return static_cast<uint16_t>(loop);
}

// An image's frame grid is its four inset bytes: cells left out at the end,
// milliseconds per cell (0: 33), columns (0: 1), rows (0: 1).
bool HasFrameGrid(const Image& image) {
  return (image.insets[0] | image.insets[1] | image.insets[2] | image.insets[3]) != 0 &&
         image.ownerId > 0 && image.texture;
}

// Points the shared scratch image at the grid cell shown at `time`.
Image* StepImageMedia(Image* image, int64_t time) {
  const uint32_t leftOut = image->insets[0];
  const uint32_t msPerCell = image->insets[1] ? image->insets[1] : 33;
  const uint32_t columns = image->insets[2] ? image->insets[2] : 1;
  const uint32_t rows = image->insets[3] ? image->insets[3] : 1;
  const int64_t count = static_cast<int64_t>(columns * rows) - leftOut;
  const Texture* texture = image->texture;
  if (count < 1 || texture->width <= 0 || texture->height <= 0) return image;
  Image* cell = g_resourceManager->GetImage(OwnerPair{1, kScratchImageId});
  if (!cell) return image;
  const auto index = static_cast<uint32_t>(static_cast<uint64_t>(time) / msPerCell %
                                           static_cast<uint64_t>(count));
  const float textureWidth = static_cast<float>(texture->width);
  const float textureHeight = static_cast<float>(texture->height);
  const float cellWidth = textureWidth / static_cast<float>(columns);
  const float cellHeight = textureHeight / static_cast<float>(rows);
  cell->texture = image->texture;
  cell->x = static_cast<float>(index % columns) * cellWidth;
  cell->y = static_cast<float>(index / columns) * cellHeight;
  cell->width = cellWidth;
  cell->height = cellHeight;
  cell->u = cell->x / textureWidth;
  cell->v = cell->y / textureHeight;
  cell->du = cellWidth / textureWidth;
  cell->dv = cellHeight / textureHeight;
  if (texture->Kind() == kKindRenderTarget) {
    cell->v = 1.0f;
    cell->dv = -1.0f;
  }
  return cell;
}

}  // namespace

bool DisplayObject::MediaChangesByItself() {
  const uint32_t kind = mediaId >> 28;
  if (kind == kMediaAir || kind == kMediaVideo || ResourceKind(mediaId) == kKindRenderTarget) return true;
  const Image* image = g_resourceManager
                           ? g_resourceManager->FindImage(OwnerPair{static_cast<int32_t>(mediaProject & 0xFF), mediaId})
                           : nullptr;
  return image && HasFrameGrid(*image);
}

AirData* DisplayObject::MediaAirData() const {
  return LoadAirData(OwnerPair{static_cast<int32_t>(mediaProject & 0xFF), mediaId});
}

bool DisplayObject::StepFrameAnimation(uint32_t now, const AirData*& air, const AirFrame*& frame) {
  air = MediaAirData();
  frame = nullptr;
  if (frameStart == 0) {
    if (!air) {
      mediaId = 0;
      return true;
    }
    frameStart = now;
  }
  if (!air || actionIndex >= air->actions.size()) return true;
  const AirAction& action = air->actions[actionIndex];
  if (action.frames.empty()) return true;
  if (frameIndex >= action.frames.size()) frameIndex = 0;
  frame = &action.frames[frameIndex];
  size_t zeroRun = 0;
  for (size_t advanced = 0; frame->duration != kHoldForever; ++advanced) {
    const uint32_t step = static_cast<uint32_t>(air->frameMs) * frame->duration;
    const uint32_t passed = now - frameStart;
    if (step > passed) break;
    // Frames of no length take no time: a loop of them would never end.
    zeroRun = step == 0 ? zeroRun + 1 : 0;
    if (zeroRun > action.frames.size()) {
      frameStart = now;
      break;
    }
    if (advanced == kMaxFrameAdvance) {
      frameStart = step ? now - passed % step : now;
      break;
    }
    frameStart += step;
    frameIndex = NextFrame(action, frameIndex);
    frame = &action.frames[frameIndex];
    if (frame->duration == kHoldForever) return false;
  }
  return true;
}

Image* DisplayObject::GetMediaFrame(AirFrameInfo* info, int64_t time, MediaImageCache* cache) {
  if (info) *info = AirFrameInfo{};
  if (!g_resourceManager) return nullptr;
  const int32_t project = static_cast<int32_t>(mediaProject & 0xFF);
  const uint32_t kind = mediaId >> 28;
  if (kind == kMediaAir) {
    const AirData* air = nullptr;
    const AirFrame* frame = nullptr;
    const bool running = StepFrameAnimation(GameTime(), air, frame);
    if (!frame) return nullptr;
    const AirAction& action = air->actions[actionIndex];
    if (info) {
      info->width = air->width;
      info->height = air->height;
      info->offsetX = frame->offsetX;
      info->offsetY = frame->offsetY;
      info->flip = frame->flip;
      info->alpha = frame->alpha;
      info->boxes = frame->boxes.empty() ? action.defaultBoxes : frame->boxes;
    }
    // Handlers may change the media: take what is needed first.
    const uint32_t imageId = frame->imageId;
    if (!running) {
      char actionId[16];
      std::snprintf(actionId, sizeof(actionId), "%d", action.id);
      DispatchEvent(this, "onFrameEnd", actionId);
    }
    return g_resourceManager->GetImage(OwnerPair{project, imageId});
  }
  if (kind == kMediaVideo) return StepVideoMedia(project);
  Image* image = cache ? CachedImage(*cache) : g_resourceManager->GetImage(OwnerPair{project, mediaId});
  if (!image || !HasFrameGrid(*image)) return image;
  return StepImageMedia(image, time < 0 ? GameTime() : time);
}

Image* DisplayObject::CachedImage(MediaImageCache& cache) const {
  if (cache.image && cache.epoch == g_drawEpoch && cache.mediaId == mediaId &&
      cache.mediaProject == mediaProject) {
    return cache.image;
  }
  const auto project = static_cast<int32_t>(mediaProject & 0xFF);
  Image* image = g_resourceManager->GetImage(OwnerPair{project, mediaId});
  // Only image ids of a named project are kept: a project byte of 0 means
  // whichever project is current, and other kinds (glyph cells, say) may be
  // made anew on a lookup. Making or removing any image moves the epoch on,
  // which a missing one waits for.
  const bool keep = image && project != 0 && ResourceKind(mediaId) == kKindImage;
  cache = keep ? MediaImageCache{image, g_drawEpoch, mediaId, static_cast<uint8_t>(mediaProject),
                                 !HasFrameGrid(*image)}
               : MediaImageCache{};
  return image;
}

Image* DisplayObject::StepVideoMedia(int32_t project) {
  const auto projectByte = static_cast<uint32_t>(project);
  std::unique_ptr<VideoDecoder>& video = Extras().video;
  if (video && (video->mediaId != mediaId || video->mediaProject != projectByte)) video.reset();
  if (!video) {
    video = std::make_unique<VideoDecoder>();
    const char* path = FindResourceFile("video", mediaId, project);
    video->Open(path);
    video->mediaId = mediaId;
    video->mediaProject = projectByte;
  }
  const OwnerPair key{project, mediaId};
  std::unique_ptr<uint8_t[]> picture = video->Advance(LastStep());
  Image* image = g_resourceManager->GetImage(key);
  if (picture) {
    if (image && image->texture) ShowPicture(*image, std::move(picture), video->width, video->height);
  } else if (video->status == kVideoFinished && video->width != 0) {
    // Once; the last picture stays on the texture. Handlers may change the
    // media or drop images: the image is looked up again afterwards.
    video->width = 0;
    DispatchEvent(this, "onFrameEnd", nullptr);
    return g_resourceManager->GetImage(key);
  }
  return image;
}

template <class Match>
void DisplayObject::SelectAction(Match matches) {
  if (mediaId >> 28 != kMediaAir) return;
  if (const AirData* air = MediaAirData()) {
    for (size_t i = 0; i < air->actions.size(); ++i) {
      if (matches(air->actions[i])) {
        actionIndex = static_cast<uint16_t>(i);
        break;
      }
    }
  }
  frameIndex = 0;
  frameStart = 0;
}

void DisplayObject::SetActionById(int32_t id) {
  SelectAction([id](const AirAction& action) { return action.id == id; });
}

void DisplayObject::SetActionByName(const char* actionName) {
  if (!actionName) return;
  SelectAction(
      [actionName](const AirAction& action) { return std::strcmp(action.name, actionName) == 0; });
}

}  // namespace GCore
