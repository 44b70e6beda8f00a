// The resource manager: the texel budget with least-recently-used eviction,
// images per project, failed loads, skeletal records, clearing per project
// and in whole, font names, and images that own or share textures.
#include <gtest/gtest.h>

#include "render/FontTexture.h"
#include "render/Image.h"
#include "render/PngFixtures.h"
#include "render/RecordingRenderer.h"
#include "render/ResourceManager.h"
#include "render/TestGame.h"
#include "render/Texture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using GCore::Image;
using GCore::OwnerPair;
using GCore::Texture;

TEST(PowerOfTwo, Table) {
  const std::pair<int64_t, int64_t> cases[] = {{-5, 0}, {0, 1}, {1, 1}, {2, 2}, {3, 4},
                                               {200, 256}, {300, 512}, {512, 512},
                                               {0x7FFFFFFF, 0x80000000LL}, {0x90000000LL, 0x80000000LL}};
  for (auto [n, p] : cases) EXPECT_EQ(GCore::PowerOfTwoAtLeast(n), p) << n;
}

// Resident textures made by hand: each has a GL name as if uploaded.
class Budget : public testing::Test {
 protected:
  Texture* Make(int width, int height) {
    textures.push_back(std::make_unique<Texture>(1, 0x50000000u + static_cast<uint32_t>(textures.size())));
    Texture* t = textures.back().get();
    t->width = width;
    t->height = height;
    t->glName = static_cast<int32_t>(textures.size());
    return t;
  }

  RecordingRenderer renderer;
  GCore::ResourceManager manager;
  std::vector<std::unique_ptr<Texture>> textures;
};

TEST_F(Budget, TouchingTheTextureThatReachesTheBudgetEvictsTheOldestFirst) {
  // 300 x 200 counts as 512 x 256 = 131072 texels; 320 of them are the budget.
  std::vector<Texture*> made;
  for (int i = 0; i < 320; ++i) made.push_back(Make(300, 200));
  for (int i = 0; i < 319; ++i) manager.TouchTexture(made[i]);
  EXPECT_EQ(manager.used, 319 * 131072);
  EXPECT_TRUE(renderer.calls.empty());

  manager.TouchTexture(made[319]);
  EXPECT_EQ(manager.ResidentCount(), 319u);
  EXPECT_EQ(manager.used, 319 * 131072);
  EXPECT_FALSE(manager.IsResident(made[0])) << "the least recently used went first";
  EXPECT_TRUE(manager.IsResident(made[319]));
  EXPECT_EQ(manager.ResidentTextures().back(), made[319]);
  EXPECT_EQ(renderer.calls, (std::vector<std::string>{"release"}));
}

TEST_F(Budget, TouchMovesToTheBackWithoutCountingAgain) {
  Texture* a = Make(512, 256);
  Texture* b = Make(512, 256);
  Texture* c = Make(512, 256);
  manager.TouchTexture(a);
  manager.TouchTexture(b);
  manager.TouchTexture(c);
  manager.TouchTexture(a);
  EXPECT_EQ(manager.used, 3 * 131072);
  EXPECT_EQ(manager.ResidentTextures(), (std::list<Texture*>{b, c, a}));

  // Fill to the budget: b is now the oldest.
  for (int i = 0; i < 317; ++i) manager.TouchTexture(Make(512, 256));
  EXPECT_FALSE(manager.IsResident(b));
  EXPECT_TRUE(manager.IsResident(c));
  EXPECT_TRUE(manager.IsResident(a));
}

TEST_F(Budget, TexturesWithoutANameAreNotCountedAndEvictionKeepsTheCount) {
  Texture* unnamed = Make(64, 64);
  unnamed->glName = 0;
  manager.TouchTexture(unnamed);
  EXPECT_EQ(manager.used, 0);
  EXPECT_EQ(manager.ResidentCount(), 0u);

  Texture* resident = Make(64, 64);
  manager.TouchTexture(resident);
  Texture* other = Make(128, 128);
  other->pixels.reset(new uint8_t[128 * 128 * 4]);
  manager.EvictTexture(other);
  EXPECT_EQ(manager.used, 64 * 64) << "evicting a texture that is not resident subtracts nothing";
  EXPECT_EQ(other->pixels, nullptr) << "eviction frees the pixels";
  manager.EvictTexture(resident);
  EXPECT_EQ(manager.used, 0);
  EXPECT_EQ(manager.ResidentCount(), 0u);
}

TEST_F(Budget, ATextureAsLargeAsTheBudgetEmptiesTheListAndStays) {
  Texture* small = Make(16, 16);
  manager.TouchTexture(small);
  Texture* huge = Make(8192, 8192);
  manager.TouchTexture(huge);
  EXPECT_FALSE(manager.IsResident(small));
  EXPECT_TRUE(manager.IsResident(huge));
  EXPECT_EQ(manager.used, 8192LL * 8192);
}

class Images : public testing::Test {
 protected:
  Images() : game({"game", "mod"}) {}
  void WriteBoth() {
    game.WriteImage("game", 0x10, testpng::EncodeRgba(3, 2, testpng::Pattern(3, 2)));
    game.WriteImage("mod", 0x10, testpng::EncodeRgba(5, 4, testpng::Pattern(5, 4)));
  }

  TestGame game;
  RecordingRenderer renderer;
  GCore::ResourceManager manager;
};

TEST_F(Images, VariantZeroMeansTheCurrentProject) {
  WriteBoth();
  const uint32_t id = TestGame::Id(0x10);
  Image* first = manager.GetImage({0, id});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->width, 3);
  EXPECT_EQ(first->ownerVariant, 1u);
  EXPECT_EQ(first->texture->pixels, nullptr) << "only the header is read until first use";
  EXPECT_EQ(manager.GetImage({1, id}), first);

  game.SetCurrent(2);
  Image* second = manager.GetImage({0, id});
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->width, 5);
  EXPECT_EQ(second->height, 4);
  EXPECT_FLOAT_EQ(second->dv, 1.0f);
  EXPECT_EQ(manager.GetImage({0, 0}), nullptr);
  EXPECT_EQ(manager.GetImage({0, 0x31050001}), nullptr) << "air data ids have no image";
}

TEST_F(Images, AFailedLoadIsSaidOnceAndRememberedUntilTheImageIsRemoved) {
  Bytes corrupt = testpng::EncodeRgba(3, 2, testpng::Pattern(3, 2));
  corrupt[20] ^= 0xFF;  // inside IHDR: its CRC no longer matches
  game.WriteImage("game", 0x11, corrupt);
  const std::string root = game.root.Path();
  const struct {
    const char* what;
    uint32_t number;
    std::string said;
  } cases[] = {
      {"unreadable", 0x11,
       "image 0x51050011 of project 1: " + root + "/game/img/0011.png cannot be read as a PNG file\n"},
      {"missing", 0x12,
       "image 0x51050012 of project 1 not found (no file " + root + "/game/img/0012.png, " + root +
           "/res/common/img/0012.png)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const OwnerPair pair{1, TestGame::Id(c.number)};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(manager.GetImage(pair), nullptr);
    const std::string said = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, c.said) << "said once, with the path";

    // Remembered: a file that appears now is not looked for...
    game.WriteImage("game", c.number, testpng::EncodeRgba(3, 2, testpng::Pattern(3, 2)));
    EXPECT_EQ(manager.GetImage(pair), nullptr);
    // ...until the image is removed (unloaded), which forgets the failure.
    manager.RemoveImage(pair.variant, pair.id);
    Image* repaired = manager.GetImage(pair);
    ASSERT_NE(repaired, nullptr) << "nothing stale stands in the way of a later load";
    EXPECT_EQ(repaired->width, 3);
  }
}

TEST_F(Images, ClearingAProjectForgetsItsFailedLoads) {
  const OwnerPair pair{1, TestGame::Id(0x13)};
  testing::internal::CaptureStdout();
  EXPECT_EQ(manager.GetImage(pair), nullptr);
  testing::internal::GetCapturedStdout();
  game.WriteImage("game", 0x13, testpng::EncodeRgba(3, 2, testpng::Pattern(3, 2)));
  manager.ClearProject(2);
  EXPECT_EQ(manager.GetImage(pair), nullptr) << "another project's clearing changes nothing";
  manager.ClearProject(1);
  EXPECT_NE(manager.GetImage(pair), nullptr);
}

TEST_F(Images, AFileThatDoesNotDecodeIsSaidWhenItIsDecoded) {
  // The header is sound, the image data is not.
  Bytes broken = testpng::EncodeRgba(3, 2, testpng::Pattern(3, 2));
  broken[broken.size() - 20] ^= 0xFF;
  game.WriteImage("game", 0x14, broken);
  Image* image = manager.GetImage({1, TestGame::Id(0x14)});
  ASSERT_NE(image, nullptr);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(image->texture->EnsurePixels());
  const std::string said = testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "image 0x51050014: " + game.root.Path() + "/game/img/0014.png does not decode as a PNG file\n");
}

TEST_F(Images, OwningImageEvictsItsTextureAndCopiesNeverOwn) {
  WriteBoth();
  Image* owner = manager.GetImage({1, TestGame::Id(0x10)});
  ASSERT_NE(owner, nullptr);
  Texture* texture = owner->texture;
  texture->glName = 9;
  manager.TouchTexture(texture);
  {
    Image copy(*owner);
    EXPECT_EQ(copy.ownerId, 0u);
    EXPECT_EQ(copy.texture, texture);
  }
  EXPECT_TRUE(manager.IsResident(texture)) << "a copy's end leaves the texture alone";
  manager.RemoveImage(1, TestGame::Id(0x10));
  EXPECT_EQ(manager.ResidentCount(), 0u);
  EXPECT_EQ(manager.used, 0);
  EXPECT_EQ(renderer.calls, (std::vector<std::string>{"release"}));
}

TEST_F(Images, ImagesSharingATextureLetGoWhenItsOwnerGoes) {
  WriteBoth();
  Image* base = manager.GetImage({2, TestGame::Id(0x10)});
  ASSERT_NE(base, nullptr);
  Image* part = manager.CreateImage({1, 0x56000100}, true);
  ASSERT_NE(part, nullptr);
  part->texture = base->texture;
  EXPECT_EQ(manager.CreateImage({1, 0x56000100}, true), nullptr) << "an existing pair is not made again";

  // A mark on the image that goes: a new one at the same address would not
  // carry it, while an image that was kept would.
  base->extra = 0xBA5E;

  manager.ClearProject(2);
  EXPECT_EQ(part->texture, nullptr) << "no pointer to a deleted texture is left";
  EXPECT_EQ(manager.GetImage({1, 0x56000100}), part);
  game.SetCurrent(2);
  Image* again = manager.GetImage({0, TestGame::Id(0x10)});
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->extra, 0u) << "project 2's image is made anew";
  ASSERT_NE(again->texture, nullptr);
  EXPECT_EQ(again->texture->pixels, nullptr) << "with a texture of its own, not yet decoded";
}

TEST_F(Images, ClearEmptiesEverythingSafely) {
  WriteBoth();
  Image* base = manager.GetImage({1, TestGame::Id(0x10)});
  Image* part = manager.CreateImage({1, 0x56000100}, true);
  part->texture = base->texture;
  Image* scratch = manager.GetImage({1, GCore::kScratchImageId});
  ASSERT_NE(scratch, nullptr) << "the grid scratch image exists from the start";
  scratch->texture = base->texture;
  manager.AddAirData({1, 0x31050001}, std::make_unique<GCore::AirData>());
  manager.Clear();
  EXPECT_EQ(manager.GetAirData({1, 0x31050001}), nullptr);
  EXPECT_EQ(manager.GetImage({1, 0x56000100}), nullptr);
}

TEST_F(Images, ClearingTheFirstProjectKeepsTheGridScratchRecord) {
  // Were the bare record dropped, asking for it again would make an image of
  // the placeholder file that owns its texture, and a grid pointing the
  // record at its cell would leak that texture.
  WriteBoth();
  game.WritePlaceholder("game", testpng::EncodeRgba(2, 2, testpng::Pattern(2, 2)));
  Image* base = manager.GetImage({1, TestGame::Id(0x10)});
  Image* scratch = manager.GetImage({1, GCore::kScratchImageId});
  ASSERT_NE(scratch, nullptr);
  scratch->texture = base->texture;
  manager.ClearProject(1);
  Image* kept = manager.GetImage({1, GCore::kScratchImageId});
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->texture, nullptr) << "the record stays bare and lets go of the deleted texture";
}

TEST_F(Images, PageNamesResolveAgainstTheAtlasBeingLoaded) {
  manager.loadingBase = OwnerPair{0x103, 0x81230000};
  Image* page = manager.GetImageByPageName("spine/abc/7.png");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->ownerVariant, 3u);
  EXPECT_EQ(page->ownerId, 0x8123abc7u);
  EXPECT_NE(page->texture, nullptr) << "a page texture's size is learned when it is decoded";
  EXPECT_EQ(manager.GetImageByPageName("x/1.png"), nullptr);
  EXPECT_EQ(manager.GetImageByPageName("s/a_z/1.png")->ownerId, 0x8123000Au)
      << "reading stops at the first character that is not a hex digit";
}

TEST_F(Images, ResetTexturesForgetsGLNames) {
  WriteBoth();
  Image* image = manager.GetImage({1, TestGame::Id(0x10)});
  image->texture->glName = 4;
  manager.ResetTextures();
  EXPECT_EQ(image->texture->glName, 0);
}

// Glyph sheets: kind-6 ids name a glyph of a sheet made on first use.
class GlyphSheets : public testing::Test {
 protected:
  TestGame game{{"game"}};
  RecordingRenderer renderer;
  GCore::ResourceManager manager;
};

TEST_F(GlyphSheets, AnIdNamesTheGlyphOfItsLowBytesInItsSheet) {
  Image* glyph = manager.GetImage(OwnerPair{0, 0x60104143});
  ASSERT_NE(glyph, nullptr);
  auto* sheet = static_cast<GCore::FontTexture*>(glyph->texture);
  EXPECT_EQ(sheet, manager.GetGlyphSheet(OwnerPair{1, 0x60100000}));
  EXPECT_EQ(sheet->pixelHeight, 16);
  EXPECT_EQ(sheet->cellSize, 18);
  EXPECT_EQ(manager.GetImage(OwnerPair{1, 0x60104143}), glyph) << "style 0x41, 'C', drawn once";
  EXPECT_NE(manager.GetImage(OwnerPair{1, 0x60104144}), glyph);
  EXPECT_EQ(manager.GetGlyphSheet(OwnerPair{1, 0x60104144}), sheet) << "one sheet for the upper half";
  EXPECT_NE(manager.GetGlyphSheet(OwnerPair{1, 0x61100000}), sheet) << "another slot, another sheet";
  EXPECT_EQ(manager.GetGlyphSheet(OwnerPair{1, 0x61100000})->cellSize, 18);
  // The smallest and the largest sizes draw their glyphs too.
  for (uint32_t id : {0x60FF0141u, 0x60010141u}) {
    Image* drawn = manager.GetImage(OwnerPair{1, id});
    ASSERT_NE(drawn, nullptr) << std::hex << id;
    EXPECT_GT(drawn->width, 0) << std::hex << id;
  }
  EXPECT_EQ(manager.GetGlyphSheet(OwnerPair{1, 0x60FF0000})->cellSize, 281);
  EXPECT_EQ(manager.GetGlyphSheet(OwnerPair{1, 0x60010000})->cellSize, 2);
}

TEST_F(GlyphSheets, SizeZeroIsRefusedOnce) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(manager.GetImage(OwnerPair{1, 0x60004141}), nullptr);
  EXPECT_EQ(manager.GetImage(OwnerPair{1, 0x60004142}), nullptr);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, "glyph sheet 60000000: font size 0\n");
}

TEST_F(GlyphSheets, EvictedSheetsCountRightAndDrawAgain) {
  GCore::FontTexture* sheet = manager.GetGlyphSheet(OwnerPair{1, 0x60100000});
  Image* glyph = sheet->GetGlyph('A', 1);
  const float width = glyph->width;
  sheet->glName = 7;  // as if uploaded
  manager.TouchTexture(sheet);
  EXPECT_EQ(manager.used, 1024 * 1024);
  // A texture that fills the budget pushes the sheet out.
  Texture big(1, 0x50000001);
  big.width = big.height = 8192;
  big.glName = 8;
  manager.TouchTexture(&big);
  EXPECT_FALSE(manager.IsResident(sheet));
  EXPECT_EQ(manager.used, 8192 * 8192);
  EXPECT_EQ(sheet->pixels, nullptr);
  EXPECT_EQ(manager.GetGlyphSheet(OwnerPair{1, 0x60100000}), sheet) << "the sheet stays";
  EXPECT_EQ(manager.GetImage(OwnerPair{1, 0x60100141}), glyph) << "'A' is drawn again in the first cell";
  EXPECT_EQ(glyph->width, width);
  manager.EvictTexture(&big);
}

TEST(FontNames, SlotsPerProject) {
  GCore::ResourceManager manager;
  manager.SetFont(1, 0, "Sans", false);
  manager.SetFont(2, 15, "Serif", false);
  manager.SetFont(2, 16, "Ignored", false);
  EXPECT_STREQ(manager.GetFontName(1, 0), "Sans");
  EXPECT_STREQ(manager.GetFontName(2, 15), "Serif");
  EXPECT_STREQ(manager.GetFontName(1, 15), "");
  manager.ClearProject(2);
  EXPECT_STREQ(manager.GetFontName(2, 15), "");
  manager.SetFont(1, -1, nullptr, false);
  EXPECT_STREQ(manager.GetFontName(1, 0), "");
}

// A skeletal runtime that records what it is asked to do.
struct FakeSpine {
  static inline std::vector<std::string> calls;
  static inline bool readFails = false;
  static inline int atlas, data, state;

  static GCore::Atlas* CreateAtlas(const char*) {
    calls.push_back("atlas");
    return reinterpret_cast<GCore::Atlas*>(&atlas);
  }
  static GCore::SkeletonData* Read(GCore::Atlas*, const char*, std::string& error) {
    calls.push_back("read");
    if (readFails) {
      error = "bad skeleton";
      return nullptr;
    }
    return reinterpret_cast<GCore::SkeletonData*>(&data);
  }
  static GCore::AnimationStateData* CreateState(GCore::SkeletonData*) {
    calls.push_back("state");
    return reinterpret_cast<GCore::AnimationStateData*>(&state);
  }
  static void DisposeData(GCore::SkeletonData*) { calls.push_back("dispose data"); }
  static void DisposeAtlas(GCore::Atlas*) { calls.push_back("dispose atlas"); }
  static void DisposeState(GCore::AnimationStateData*) { calls.push_back("dispose state"); }

  static constexpr GCore::SpineRuntime kTable = {CreateAtlas, Read,         CreateState, DisposeData,
                                                 DisposeAtlas, DisposeState, nullptr};
};

class Spine : public testing::Test {
 protected:
  Spine() : game({"game"}) {
    FakeSpine::calls.clear();
    FakeSpine::readFails = false;
    GCore::g_spineRuntime = &FakeSpine::kTable;
    // Kind 8 names have two levels: "<3 digits>/<1 digit>".
    game.root.Write("game/img/000/1.png", "");
    game.root.Write("game/img/000/1.atlas", "");
    game.root.Write("game/img/000/2.png", "");
    game.root.Write("game/img/000/2.skel", "");
  }
  ~Spine() override { GCore::g_spineRuntime = &GCore::kSpineRuntime; }

  static constexpr uint32_t kAtlas = 0x81050001;
  static constexpr uint32_t kSkeleton = 0x81050002;
  TestGame game;
  GCore::ResourceManager manager;
};

TEST_F(Spine, LoadedOnceAndDisposedInOrder) {
  std::shared_ptr<GCore::SpineRecord> record = manager.LoadSpine({1, kAtlas}, kSkeleton);
  ASSERT_NE(record, nullptr);
  EXPECT_FLOAT_EQ(record->extra[0], -100.0f);
  EXPECT_EQ(manager.LoadSpine({1, kAtlas}, kSkeleton), record);
  EXPECT_EQ(FakeSpine::calls, (std::vector<std::string>{"atlas", "read", "state"}));
  EXPECT_EQ(manager.loadingBase, OwnerPair{}) << "the loading base is cleared after the atlas";

  FakeSpine::calls.clear();
  manager.ReleaseSpine(1, kAtlas, kSkeleton);
  EXPECT_TRUE(FakeSpine::calls.empty()) << "a holder keeps the record";
  record.reset();
  EXPECT_EQ(FakeSpine::calls,
            (std::vector<std::string>{"dispose data", "dispose atlas", "dispose state"}));
  FakeSpine::calls.clear();
  manager.ReleaseSpine(1, kAtlas, kSkeleton);
  EXPECT_TRUE(FakeSpine::calls.empty());
}

TEST_F(Spine, AFailedSkeletonLeavesNoEntryAndNoAtlas) {
  FakeSpine::readFails = true;
  testing::internal::CaptureStdout();
  EXPECT_EQ(manager.LoadSpine({1, kAtlas}, kSkeleton), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("bad skeleton\n"), std::string::npos);
  EXPECT_EQ(FakeSpine::calls, (std::vector<std::string>{"atlas", "read", "dispose atlas"}));

  FakeSpine::calls.clear();
  EXPECT_EQ(manager.LoadSpine({1, kAtlas}, 0x81050003), nullptr) << "no skeleton file";
  EXPECT_EQ(FakeSpine::calls, (std::vector<std::string>{"atlas", "dispose atlas"}));

  FakeSpine::readFails = false;
  EXPECT_NE(manager.LoadSpine({1, kAtlas}, kSkeleton), nullptr) << "a later load is not blocked";
}

TEST_F(Spine, ClearDisposesEveryRecord) {
  ASSERT_NE(manager.LoadSpine({1, kAtlas}, kSkeleton), nullptr);
  FakeSpine::calls.clear();
  manager.Clear();
  EXPECT_EQ(FakeSpine::calls,
            (std::vector<std::string>{"dispose data", "dispose atlas", "dispose state"}));
}

}  // namespace
