// Records the renderer reads: the native operations of Matrix and the
// texture coordinates of images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/Matrix.h"
#include "render/Image.h"
#include "render/Texture.h"

namespace {

TEST(Matrix, SetRotationKeepsColumnLengthsAndReadsBack) {
  GCore::Matrix m;
  ASSERT_TRUE(m.SetRotation(30));
  const float r = (30 + 90) * 3.14159f / 180;
  EXPECT_FLOAT_EQ(m.a, std::sin(r));
  EXPECT_FLOAT_EQ(m.b, std::cos(r));
  EXPECT_FLOAT_EQ(m.c, -std::cos(r));
  EXPECT_FLOAT_EQ(m.d, std::sin(r));
  EXPECT_NEAR(m.a, std::cos(30 * M_PI / 180), 1e-5);
  EXPECT_NEAR(m.b, -0.5, 1e-5);

  const float before[4] = {m.a, m.b, m.c, m.d};
  EXPECT_FALSE(m.SetRotation(30.05f)) << "within 0.1 degree nothing changes";
  const float after[4] = {m.a, m.b, m.c, m.d};
  EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);

  GCore::Matrix scaled;
  scaled.SetValues(2, 0, 0, 3, 5, 6);
  ASSERT_TRUE(scaled.SetRotation(90));
  EXPECT_NEAR(scaled.a, 0, 1e-5);
  EXPECT_NEAR(scaled.b, -2, 1e-5);
  EXPECT_NEAR(scaled.c, 3, 1e-5);
  EXPECT_EQ(scaled.tx, 5);
}

TEST(Matrix, SetFromRectScalesFromTheBoxAndCentres) {
  GCore::Matrix m;
  m.SetFromRect(0, 0, 1638.4f, 3276.8f, 0);
  EXPECT_FLOAT_EQ(m.a, 1);
  EXPECT_FLOAT_EQ(m.d, 2);
  EXPECT_FLOAT_EQ(m.tx, 819.2f);
  EXPECT_FLOAT_EQ(m.ty, 1638.4f);
  EXPECT_TRUE(m.flag);
  EXPECT_FALSE(m.flipX);
}

TEST(Image, CoordinatesFollowTheTexture) {
  GCore::Texture texture(1, 0x50000001);
  texture.width = texture.height = 64;
  GCore::Image image(0, 0, &texture, 8, 16, 32, 32);
  EXPECT_FLOAT_EQ(image.u, 0.125f);
  EXPECT_FLOAT_EQ(image.v, 0.25f);
  EXPECT_FLOAT_EQ(image.du, 0.5f);
  EXPECT_FLOAT_EQ(image.dv, 0.5f);

  texture.width = 128;
  image.UpdateTexCoords();
  EXPECT_FLOAT_EQ(image.u, 0.0625f);

  GCore::Texture target(1, 0x20000001);
  target.width = target.height = 512;
  GCore::Image whole(0, 0, &target, 0, 0, 512, 512);
  EXPECT_FLOAT_EQ(whole.u, 0);
  EXPECT_FLOAT_EQ(whole.v, 1);
  EXPECT_FLOAT_EQ(whole.du, 1);
  EXPECT_FLOAT_EQ(whole.dv, -1) << "render targets hold their rows bottom-up";

  GCore::Texture empty(1, 0x50000002);
  GCore::Image none(0, 0, &empty, 0, 0, 10, 10);
  EXPECT_EQ(none.du, 0) << "a texture of no size gives finite coordinates";

  GCore::Image defaults;
  EXPECT_EQ(defaults.du, 1);
  EXPECT_EQ(defaults.dv, 1);
  EXPECT_FALSE(defaults.IsSliced());
}

}  // namespace
