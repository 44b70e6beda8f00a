// Video decoding: pictures against ffmpeg's decoding of the same stream,
// pacing by game time, sizes announced by the stream, the input window's
// refill, and streams that must be refused without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Mp3Fixtures.h"
#include "VideoFixtures.h"
#include "core/AllocatedBytes.h"
#include "core/TempRoot.h"
#include "media/VideoDecoder.h"
#include "media/VideoHeaders.h"

namespace {

using GCore::VideoDecoder;

// A codec whose "stream" is a script of packets, one per decode call:
//   'S' width height (u32 little-endian each): announces a size;
//   'P' and one byte: a picture of the announced size, every byte the
//   picture's number;
//   'F' n (u32) and n bytes: consumed without output.
// It writes exactly what the announced size needs at the stride it is given,
// so a buffer smaller than the announcement shows under the sanitizers.
class ScriptedCodec : public GCore::VideoCodec {
 public:
  int32_t Create(int32_t& threads) override {
    threads = 1;
    return 0;
  }
  int32_t Decode(const uint8_t* bits, int32_t length, uint8_t* frame, int32_t stride,
                 GCore::VideoStats& stats) override {
    if (!bits || length < 1) return -1;
    switch (bits[0]) {
      case 'S':
        if (length < 9) return -1;
        width_ = Word(bits + 1);
        height_ = Word(bits + 5);
        stats.type = GCore::kVideoNewSize;
        stats.width = static_cast<int32_t>(width_);
        stats.height = static_cast<int32_t>(height_);
        return 9;
      case 'P':
        if (length < 2) return -1;
        ++pictures_;
        for (size_t row = 0; frame && row < height_; ++row) {
          std::memset(frame + row * static_cast<size_t>(stride), pictures_, width_ * 4);
        }
        stats.type = 1;
        return 2;
      case 'F': {
        if (length < 5) return -1;
        const uint32_t filler = Word(bits + 1);
        return filler <= static_cast<uint32_t>(length) - 5 ? static_cast<int32_t>(filler + 5) : -1;
      }
      default:
        return -1;
    }
  }
  int32_t Destroy() override { return 0; }

  static std::string Size(uint32_t width, uint32_t height) { return "S" + Le(width) + Le(height); }
  static std::string Picture() { return "P."; }
  static std::string Filler(uint32_t bytes) { return "F" + Le(bytes) + std::string(bytes, 'x'); }

 private:
  static uint32_t Word(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  static std::string Le(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
  }
  size_t width_ = 0;
  size_t height_ = 0;
  uint8_t pictures_ = 0;
};

class VideoDecodeTest : public testing::Test {
 protected:
  // A decoder over the scripted codec, opened on `script`.
  std::unique_ptr<VideoDecoder> Scripted(const std::string& script) {
    root.Write("scripted.bin", script);
    auto decoder = std::make_unique<VideoDecoder>(std::make_unique<ScriptedCodec>());
    EXPECT_EQ(decoder->Open(root.Path("scripted.bin").c_str()), 0);
    return decoder;
  }

  // The picture number (its first byte) shown after each step; 0 for none.
  static std::vector<int> Shown(VideoDecoder& decoder, const std::vector<uint32_t>& steps) {
    std::vector<int> shown;
    for (uint32_t step : steps) {
      std::unique_ptr<uint8_t[]> picture = decoder.Advance(step);
      shown.push_back(picture ? picture[0] : 0);
    }
    return shown;
  }

  TempRoot root;
};

TEST_F(VideoDecodeTest, PicturesMatchFfmpegsDecoding) {
  video::Clip clip;
  ASSERT_TRUE(video::MakeClip(root.Path("bars.m4v"), 64, 48, 64, clip));
  VideoDecoder decoder;
  ASSERT_EQ(decoder.Open(clip.path.c_str()), 0);
  const size_t pixels = static_cast<size_t>(clip.width) * clip.height;
  for (size_t frame = 0; frame < clip.frames.size(); ++frame) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    std::unique_ptr<uint8_t[]> picture = decoder.Advance(frame == 0 ? 0 : 40);
    ASSERT_TRUE(picture);
    ASSERT_EQ(decoder.width, clip.width);
    ASSERT_EQ(decoder.height, clip.height);
    // Both decoders convert to RGB on their own: they differ by a few steps
    // of rounding and chroma filtering, far less than a picture apart.
    const double same = video::MeanDifference(picture.get(), clip.frames[frame].data(), pixels);
    EXPECT_LT(same, 4.0);
    if (frame + 1 < clip.frames.size()) {
      EXPECT_GT(video::MeanDifference(picture.get(), clip.frames[frame + 1].data(), pixels), same + 2.0)
          << "the box has moved in the next picture";
    }
  }
  EXPECT_FALSE(decoder.Advance(40)) << "the stream has ended";
  EXPECT_EQ(decoder.status, GCore::kVideoFinished);
}

TEST_F(VideoDecodeTest, GameTimePacesThePictures) {
  std::string script = ScriptedCodec::Size(2, 2);
  for (int i = 0; i < 8; ++i) script += ScriptedCodec::Picture();
  const struct {
    const char* what;
    std::vector<uint32_t> steps;
    std::vector<int> shown;
  } cases[] = {
      {"the first call shows the first picture", {0}, {1}},
      {"20 ms steps decode every second step", {0, 20, 20, 20, 20}, {1, 1, 2, 2, 3}},
      {"a 100 ms step decodes two pictures and shows the last", {0, 100, 20}, {1, 3, 4}},
      {"after the last picture nothing more", {0, 1000, 40}, {1, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto decoder = Scripted(script);
    EXPECT_EQ(Shown(*decoder, c.steps), c.shown);
  }
}

TEST_F(VideoDecodeTest, EveryAnnouncedSizeIsTakenAndTheBufferOnlyGrows) {
  const struct {
    const char* what;
    std::string script;
    int width, height;  // of the second picture
    const char* message;
  } cases[] = {
      {"grows", ScriptedCodec::Size(16, 16) + ScriptedCodec::Picture() + ScriptedCodec::Size(32, 24) + ScriptedCodec::Picture(), 32, 24,
       "Resized frame buffer to 32x24"},
      {"shrinks within the buffer", ScriptedCodec::Size(32, 32) + ScriptedCodec::Picture() + ScriptedCodec::Size(16, 8) + ScriptedCodec::Picture(),
       16, 8, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::internal::CaptureStderr();
    auto decoder = Scripted(c.script);
    ASSERT_TRUE(decoder->Advance(0));
    std::unique_ptr<uint8_t[]> second = decoder->Advance(40);
    const std::string messages = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(second);
    EXPECT_EQ(decoder->width, c.width);
    EXPECT_EQ(decoder->height, c.height);
    const size_t bytes = static_cast<size_t>(c.width) * c.height * 4;
    EXPECT_EQ(std::count(second.get(), second.get() + bytes, 2), static_cast<ptrdiff_t>(bytes))
        << "the picture at the announced size, row after row";
    if (c.message) {
      EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    }
  }
}

TEST_F(VideoDecodeTest, SizesBeyondTheLimitEndTheStream) {
  const std::pair<uint32_t, uint32_t> refused[] = {
      {65536, 65536}, {4097, 16}, {16, 4097}, {0, 16}, {0x80000000u, 2}, {2049, 2048}, {4096, 4096}};
  for (const auto& [width, height] : refused) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    testing::internal::CaptureStderr();
    auto decoder = Scripted(ScriptedCodec::Size(width, height) + ScriptedCodec::Picture() + ScriptedCodec::Picture());
    EXPECT_FALSE(decoder->Advance(0));
    EXPECT_FALSE(decoder->Advance(40));
    EXPECT_EQ(decoder->status, GCore::kVideoFinished);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Refused frame size"), std::string::npos);
  }
  auto largest = Scripted(ScriptedCodec::Size(4096, 1) + ScriptedCodec::Picture());
  EXPECT_TRUE(largest->Advance(0)) << "4096 is allowed";
  auto most = Scripted(ScriptedCodec::Size(2048, 2048) + ScriptedCodec::Picture());
  EXPECT_TRUE(most->Advance(0)) << "2048 x 2048 pixels are allowed";
}

TEST_F(VideoDecodeTest, TheWindowRefillsAcrossALongStream) {
  // About 5 MiB: every picture sits behind 700000 bytes of filler, so the
  // window moves and refills several times, once with the file's end in it.
  std::string script = ScriptedCodec::Size(4, 4);
  std::vector<int> expected;
  std::vector<uint32_t> steps;
  for (int picture = 1; picture <= 7; ++picture) {
    script += ScriptedCodec::Filler(700000) + ScriptedCodec::Picture();
    expected.push_back(picture);
    steps.push_back(picture == 1 ? 0 : 40);
  }
  expected.push_back(0);
  steps.push_back(40);
  auto decoder = Scripted(script);
  EXPECT_EQ(Shown(*decoder, steps), expected);
}

TEST_F(VideoDecodeTest, HeadersAnnounceTheirSizeBeforeTheCodecSeesThem) {
  const struct {
    const char* encoder;
    int width, height;
  } cases[] = {{"mpeg4", 64, 48}, {"libxvid", 64, 48}, {"mpeg4", 4112, 16}, {"mpeg4", 16, 4104}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.encoder) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
    ASSERT_TRUE(video::EncodeClip(root.Path("sized.m4v"), c.width, c.height, 1, c.encoder));
    const std::string bytes = mp3::ReadFile(root.Path("sized.m4v"));
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    GCore::AnnouncedSize found;
    const GCore::VideoSizeLimits tiny{15, GCore::kVideoMaxPixels};
    ASSERT_TRUE(GCore::FindRefusedHeader(data, bytes.size(), tiny, false, found));
    EXPECT_EQ(found.width, c.width);
    EXPECT_EQ(found.height, c.height);
    EXPECT_EQ(bytes.compare(found.offset, 3, std::string("\0\0\1", 3)), 0) << "at the start code";
    const GCore::VideoSizeLimits limits{GCore::kVideoMaxSide, GCore::kVideoMaxPixels};
    EXPECT_EQ(GCore::FindRefusedHeader(data, bytes.size(), limits, true, found),
              c.width > GCore::kVideoMaxSide || c.height > GCore::kVideoMaxSide)
        << "a whole picture follows";
    EXPECT_FALSE(GCore::FindRefusedHeader(data, found.offset + 12, tiny, false, found)) << "a cut header";
  }
}

TEST_F(VideoDecodeTest, AnnouncedPicturesCostNoMoreThanTheStreamHolds) {
  const struct {
    const char* what;
    int width, height;
    const char* said;
  } cases[] = {
      {"a picture within the limits, none of it there", 1920, 1080, "the stream holds less than one picture"},
      {"a picture past the pixel budget", 2064, 2048, "and 4194304 pixels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = root.Path("announced.m4v");
    ASSERT_TRUE(video::EncodeHeadersOnly(path, c.width, c.height));
    ASSERT_LT(mp3::ReadFile(path).size(), 100u);
    testing::internal::CaptureStderr();
    const size_t before = testmemory::AllocatedBytes();
    size_t most = 0;
    int pictures = 0;
    {
      VideoDecoder decoder;
      ASSERT_EQ(decoder.Open(path.c_str()), 0);
      for (int step = 0; step < 20 && decoder.status != GCore::kVideoFinished; ++step) {
        if (decoder.Advance(step == 0 ? 0 : 40)) ++pictures;
        const size_t now = testmemory::AllocatedBytes();
        if (now > before) most = std::max(most, now - before);
      }
      EXPECT_EQ(decoder.status, GCore::kVideoFinished);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(pictures, 0);
    // The input window's 2 MiB and the codec's own set-up; a frame of either
    // size would take more than this on its own.
    EXPECT_LT(most, size_t{6} << 20);
    const std::string refusal = "Refused frame size " + std::to_string(c.width) + "x" + std::to_string(c.height);
    EXPECT_NE(said.find(refusal), std::string::npos) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
  }
}

TEST_F(VideoDecodeTest, DamagedStreamsAreRefusedWithoutHarm) {
  video::Clip clip;
  ASSERT_TRUE(video::MakeClip(root.Path("bars.m4v"), 64, 48, 16, clip));
  const std::string whole = mp3::ReadFile(clip.path);
  ASSERT_TRUE(video::EncodeClip(root.Path("wide.m4v"), 4112, 16, 2)) << "a size beyond the limit";
  const struct {
    const char* what;
    std::string bytes;
    int pictures;  // at most
  } cases[] = {
      {"truncated", whole.substr(0, whole.size() / 3), 16},
      {"cut inside the header", whole.substr(0, 20), 0},
      {"random bytes", mp3::RandomBytes(64 * 1024), 0},
      {"empty", "", 0},
      {"too wide", mp3::ReadFile(root.Path("wide.m4v")), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    root.Write("damaged.m4v", c.bytes);
    VideoDecoder decoder;
    ASSERT_EQ(decoder.Open(root.Path("damaged.m4v").c_str()), 0);
    int pictures = 0;
    for (int step = 0; step < 200 && decoder.status != GCore::kVideoFinished; ++step) {
      if (decoder.Advance(step == 0 ? 0 : 40)) ++pictures;
    }
    EXPECT_LE(pictures, c.pictures);
    EXPECT_EQ(decoder.status, GCore::kVideoFinished) << "the stream has come to its end";
  }
  VideoDecoder missing;
  EXPECT_EQ(missing.Open(root.Path("none.m4v").c_str()), -1);
  EXPECT_FALSE(missing.Advance(0));
  EXPECT_EQ(missing.Open(nullptr), -1);
}

}  // namespace
