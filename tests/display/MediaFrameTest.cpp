// Media frames: air animation timing with its end event, loops, frames of
// no length, action selection, image-grid cells, and video pictures.
#include <memory>

#include "DisplayFixture.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display/AirParser.h"
#include "display/Entity.h"
#include "media/VideoDecoder.h"
#include "media/VideoFixtures.h"
#include "render/Image.h"
#include "render/Texture.h"

namespace {

using GCore::AirFrameInfo;
using GCore::DisplayObject;

constexpr uint32_t kAirId = 0x30000001;

class MediaFrameTest : public DisplayFixture {
 protected:
  GCore::AirData* AddAir(const std::string& text, uint32_t id = kAirId) {
    auto data = GCore::ParseAirData(text.data(), text.size(), 1);
    EXPECT_TRUE(data);
    return resources->AddAirData(GCore::OwnerPair{1, id}, std::move(data));
  }

  // The frame index shown after each advance of the game time.
  std::vector<int> FramesOver(DisplayObject* object, const std::vector<uint32_t>& steps) {
    std::vector<int> frames;
    for (uint32_t step : steps) {
      Step(step);
      object->GetMediaFrame(nullptr, -1);
      frames.push_back(object->frameIndex);
    }
    return frames;
  }
};

// Three actions: the end-event case, a loop from frame 1, frames of no length.
const char* const kActions =
    "1,0,64,48,\n"
    "[A]5,run\n"
    "50000001,2,3,4\n"
    "50000002,3\n"
    "50000003,65535,7,8\n"
    "\n"
    "[A]6,loop\n"
    "50000001,1\n"
    "LP,50000002,1\n"
    "50000003,1\n"
    "\n"
    "[A]7,zero\n"
    "50000001,0\n"
    "50000002,0\n"
    "\n";

TEST_F(MediaFrameTest, AirFramesFollowTheGameTimeAndEndOnce) {
  AddAir(kActions);
  auto* entity = Make<GCore::Entity>("e");
  Run("e.c_r = Recorder('r')");
  TakeLog();
  entity->SetMedia(kAirId);
  game->gameTime = 1000;

  AirFrameInfo info;
  entity->GetMediaFrame(&info, -1);
  EXPECT_EQ(entity->frameStart, 1000u) << "the first step starts the clock";
  EXPECT_EQ(info.offsetX, 3);
  EXPECT_EQ(info.offsetY, 4);
  EXPECT_FLOAT_EQ(info.width, 64);

  // Frames of 2 and 3 units of 167 ms: frame 1 at 334 ms, frame 2 at 835 ms.
  EXPECT_EQ(FramesOver(entity, {333, 1, 500, 1}), (std::vector<int>{0, 1, 1, 2}));
  EXPECT_EQ(TakeLog(), "r:onFrameEnd(5)");
  entity->GetMediaFrame(&info, -1);
  EXPECT_EQ(info.offsetX, 7) << "the held frame";
  EXPECT_EQ(FramesOver(entity, {10000, 1}), (std::vector<int>{2, 2}));
  EXPECT_EQ(TakeLog(), "") << "no second event";
}

TEST_F(MediaFrameTest, LoopsWrapToTheLoopIndexOrHoldTheLastFrame) {
  GCore::AirData* air = AddAir(kActions);
  auto* object = Make<DisplayObject>();
  object->SetMedia(kAirId);
  object->SetActionByName("loop");
  ASSERT_EQ(object->actionIndex, 1);
  game->gameTime = 1;
  object->GetMediaFrame(nullptr, -1);
  EXPECT_EQ(FramesOver(object, {167, 167, 167, 167}), (std::vector<int>{1, 2, 1, 2}));

  const struct {
    int32_t loopIndex;
    const char* what;
  } holds[] = {{0xFFFF, "negative"}, {3, "past the last frame"}};
  for (const auto& hold : holds) {
    air->actions[1].loopIndex = hold.loopIndex;
    object->SetActionById(6);
    object->GetMediaFrame(nullptr, -1);
    EXPECT_EQ(FramesOver(object, {167, 167, 167, 167}), (std::vector<int>{1, 2, 2, 2})) << hold.what;
  }
}

TEST_F(MediaFrameTest, FramesOfNoLengthDoNotHang) {
  AddAir(kActions);
  // A rate above 1000 frames a second gives frames of 0 ms as well.
  AddAir("1,2000,64,48,\n[A]1\n50000001,1\n50000002,1\n\n", kAirId + 1);
  for (uint32_t id : {kAirId, kAirId + 1}) {
    auto* object = Make<DisplayObject>();
    object->SetMedia(id);
    if (id == kAirId) object->SetActionById(7);
    game->gameTime = 5;
    const std::vector<int> frames = FramesOver(object, {0, 10, 1000});
    for (int frame : frames) EXPECT_LT(frame, 2);
  }
}

TEST_F(MediaFrameTest, HugeBacklogsKeepThePhaseWithoutSteppingEveryFrame) {
  // 1 ms frames: a pause of 2^32 - 2 ms is that many frames behind.
  AddAir("1,1000,64,48,\n[A]1\n50000001,1\n50000002,1\n50000003,1\n\n");
  auto* object = Make<DisplayObject>();
  object->SetMedia(kAirId);
  game->gameTime = 1;
  object->GetMediaFrame(nullptr, -1);
  // Stepping frame by frame would take billions of steps for each pause. A
  // child that may use a few seconds of processor time (not of wall-clock
  // time, so a busy machine changes nothing) does the stepping.
  const pid_t child = fork();
  if (child == 0) {
    const rlimit cpu{5, 5};
    setrlimit(RLIMIT_CPU, &cpu);
    for (int pause = 0; pause < 3; ++pause) {
      Step(0xFFFFFFFEu);
      object->GetMediaFrame(nullptr, -1);
      // The phase stays within the frame shown.
      if (game->gameTime - object->frameStart >= 1) _exit(10 + pause);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_FALSE(WIFSIGNALED(status)) << "the backlog was stepped frame by frame (signal "
                                    << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(MediaFrameTest, ActionSelectionAndMissingData) {
  AddAir(kActions);
  auto* object = Make<DisplayObject>();
  object->SetMedia(kAirId);
  object->SetActionByName("zero");
  EXPECT_EQ(object->actionIndex, 2);
  object->frameIndex = 1;
  object->frameStart = 55;
  object->SetActionById(99);
  EXPECT_EQ(object->actionIndex, 2) << "no such action: it stays";
  EXPECT_EQ(object->frameIndex, 0);
  EXPECT_EQ(object->frameStart, 0u);
  object->SetActionById(5);
  EXPECT_EQ(object->actionIndex, 0);

  auto* orphan = Make<DisplayObject>();
  orphan->SetMedia(0x30000099);
  game->gameTime = 10;
  EXPECT_EQ(orphan->GetMediaFrame(nullptr, -1), nullptr);
  EXPECT_EQ(orphan->mediaId, 0u) << "air media without data is dropped";
}

TEST_F(MediaFrameTest, ImageGridCellsFollowTheTime) {
  const struct {
    uint32_t id;
    float v0, dv;
  } images[] = {{0x50000100, 0.5f, 0.5f}, {0x20000100, 1.0f, -1.0f}};  // the second: a render target
  for (const auto& source : images) {
    GCore::Image* image = resources->CreateImage(GCore::OwnerPair{1, source.id}, true);
    ASSERT_NE(image, nullptr);
    image->AdoptTexture(std::make_unique<GCore::Texture>(1, source.id));
    image->texture->width = 400;
    image->texture->height = 200;
    const uint8_t grid[4] = {1, 100, 4, 2};  // 1 cell left out, 100 ms, 4 columns, 2 rows
    std::copy(grid, grid + 4, image->insets);

    auto* object = Make<DisplayObject>();
    object->SetMedia(source.id);
    std::vector<std::pair<float, float>> cells;
    for (int64_t t = 0; t <= 700; t += 100) {
      const GCore::Image* cell = object->GetMediaFrame(nullptr, t);
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(cell->texture, image->texture);
      EXPECT_FLOAT_EQ(cell->width, 100);
      EXPECT_FLOAT_EQ(cell->du, 0.25f);
      cells.emplace_back(cell->x, cell->y);
      if (t == 600) {
        EXPECT_FLOAT_EQ(cell->u, 0.5f);
        EXPECT_FLOAT_EQ(cell->v, source.v0);
        EXPECT_FLOAT_EQ(cell->dv, source.dv);
      }
    }
    const std::vector<std::pair<float, float>> expected = {
        {0, 0}, {100, 0}, {200, 0}, {300, 0}, {0, 100}, {100, 100}, {200, 100}, {0, 0}};
    EXPECT_EQ(cells, expected) << "cells 0 to 6, then wrapping";

    std::fill(image->insets, image->insets + 4, 0);
    EXPECT_EQ(object->GetMediaFrame(nullptr, 100), image) << "no grid: the image itself";
  }
}

TEST_F(MediaFrameTest, VideoPicturesReachTheImageAndTheEndIsReportedOnce) {
  constexpr uint32_t kVideoId = 0xA1060001;
  constexpr uint32_t kOtherVideoId = 0xA1060002;
  Run("g_dir = { [0x01060000] = 'video' }; g_ext = { [0xA0000000] = '.m4v' }");
  video::Clip clip;
  ASSERT_TRUE(video::MakeClip(root.Path("p/video/0001.m4v"), 32, 16, 6, clip));
  ASSERT_TRUE(video::MakeClip(root.Path("p/video/0002.m4v"), 48, 32, 2, clip));
  auto* entity = Make<GCore::Entity>("e");
  Run("e.c_r = Recorder('r')");
  TakeLog();
  entity->SetMedia(kVideoId);

  // Six pictures at 40 ms; the steps run past the end by a few frames.
  GCore::Image* image = nullptr;
  for (int frame = 0; frame < 10; ++frame) {
    Step(frame == 0 ? 0 : 40);
    image = entity->GetMediaFrame(nullptr, -1);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(TakeLog(), frame == 6 ? "r:onFrameEnd" : "") << "frame " << frame;
  }
  EXPECT_FLOAT_EQ(image->width, 32);
  EXPECT_FLOAT_EQ(image->height, 16);
  EXPECT_EQ(image->texture->width, 32);
  ASSERT_TRUE(image->texture->pixels) << "the last picture stays";
  EXPECT_EQ(image->texture->pixels[3], 255) << "pictures are opaque";

  entity->SetMedia(kOtherVideoId);
  Step(40);
  image = entity->GetMediaFrame(nullptr, -1);
  ASSERT_TRUE(entity->extras && entity->extras->video);
  EXPECT_EQ(entity->extras->video->mediaId, kOtherVideoId) << "a new decoder for the new media";
  EXPECT_FLOAT_EQ(image->width, 48);

  entity->SetMedia(kVideoId);
  entity->SetMedia(kOtherVideoId);
  EXPECT_FALSE(entity->extras->video) << "setting the id anew starts over, even between two frames";
  Step(40);
  entity->GetMediaFrame(nullptr, -1);
  EXPECT_EQ(entity->extras->video->width, 48) << "the first picture again";

  entity->SetMedia(0xA1060003);
  testing::internal::CaptureStdout();
  Step(40);
  entity->GetMediaFrame(nullptr, -1);
  Step(40);
  entity->GetMediaFrame(nullptr, -1);
  // Said once, with the files looked for, however often the frame is asked for.
  const std::string said = testing::internal::GetCapturedStdout();
  const std::string line = "video 0xa1060003 of project 1 not found (no file ";
  EXPECT_NE(said.find(line), std::string::npos) << said;
  EXPECT_EQ(said.find(line), said.rfind(line)) << said;
  EXPECT_EQ(TakeLog(), "") << "a video that never played does not end";
}

}  // namespace
