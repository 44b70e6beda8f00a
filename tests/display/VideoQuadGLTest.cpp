// A quad showing a video media, drawn by the GLES2 renderer on the
// surfaceless context: the pixels read back follow ffmpeg's decoding of the
// same stream, picture by picture.
#include "render/ResourceGLFixture.h"

#include <algorithm>

#include "game/GCoreApi.h"
#include "display/Quad.h"
#include "media/VideoFixtures.h"

namespace {

using VideoOnScreen = ResourceGLFixture;

constexpr uint32_t kVideoId = 0xA1060001;
constexpr int kClipWidth = 64;
constexpr int kClipHeight = 48;

TEST_F(VideoOnScreen, PicturesFollowFfmpegsDecoding) {
  video::Clip clip;
  ASSERT_TRUE(video::MakeClip(game.root.Path("game/video/0001.m4v"), kClipWidth, kClipHeight, 64, clip));
  lua_State* L = game.game->GetLuaManager()->GetProject(1)->state;
  ASSERT_EQ(luaL_dostring(L, "g_dir[0x01060000] = 'video'; g_ext[0xA0000000] = '.m4v'"), LUA_OK);
  GCore::RegisterScriptClasses(L);
  GCore::Retained<GCore::Quad> quad(GCore::NewDisplayObject<GCore::Quad>(L));
  // The picture's own size at design (10, 20), one texel a pixel.
  quad->anchorMinX = quad->anchorMaxX = quad->anchorMinY = quad->anchorMaxY = 0;
  quad->offsetMinX = 10;
  quad->offsetMinY = 20;
  quad->offsetMaxX = 10 + kClipWidth;
  quad->offsetMaxY = 20 + kClipHeight;
  quad->textureFilter = GCore::kFilterNearest;
  quad->SetMedia(kVideoId);

  // The quad's pixels as a picture, top row first.
  auto shown = [this] {
    std::vector<uint8_t> picture;
    for (int row = 0; row < kClipHeight; ++row) {
      for (int column = 0; column < kClipWidth; ++column) {
        const Rgba pixel = At(10 + column, 20 + kClipHeight - 1 - row);
        picture.insert(picture.end(), {static_cast<uint8_t>(pixel.r), static_cast<uint8_t>(pixel.g),
                                       static_cast<uint8_t>(pixel.b), static_cast<uint8_t>(pixel.a)});
      }
    }
    return picture;
  };
  const size_t pixels = static_cast<size_t>(kClipWidth) * kClipHeight;
  const std::vector<size_t> checked = {0, 1, 2, 25, 40, 63};
  for (size_t frame = 0; frame <= 64; ++frame) {
    game.game->lastStep = frame == 0 ? 0 : 40;
    Frame([&] { quad->Draw(); });
    const size_t expected = std::min<size_t>(frame, 63);  // the last picture stays
    if (frame < 64 && std::find(checked.begin(), checked.end(), frame) == checked.end()) continue;
    SCOPED_TRACE("display frame " + std::to_string(frame));
    const std::vector<uint8_t> picture = shown();
    // Both decoders convert to RGB in their own way: a few steps apart on
    // average, while the box moving by 2 pixels makes many times that.
    const double same = video::MeanDifference(picture.data(), clip.frames[expected].data(), pixels);
    EXPECT_LT(same, 4.0);
    const size_t other = expected == 63 ? 62 : expected + 1;
    EXPECT_GT(video::MeanDifference(picture.data(), clip.frames[other].data(), pixels), same + 2.0);
  }
  EXPECT_TRUE(Near(At(9, 30), {0, 0, 0, 255})) << "nothing left of the quad";
  EXPECT_TRUE(Near(At(10 + kClipWidth, 30), {0, 0, 0, 255})) << "nothing right of it";
}

}  // namespace
