#pragma once
// The display fixture with text: DejaVu Sans registered as project 1's font
// file of slot 0 (the default font 0x60180000 draws it at 24 pixels), the
// white image the caret and selections are drawn with, and a text object
// "t" of 300 x 100 whose text block sits at the top left of its box.
#include <memory>
#include <vector>

#include "DisplayFixture.h"
#include "display/TextQuad.h"
#include "render/FontFixtures.h"
#include "render/FontStyle.h"
#include "render/Image.h"
#include "render/TTFManager.h"
#include "render/Texture.h"

// One image drawn: its rectangle, its first vertex's colour and texture
// coordinates, and its texture.
struct DrawnImage {
  float left, bottom, right, top;
  float r, g, b, a;
  float u, v;
  GCore::Texture* texture;
};

class TextFixture : public DisplayFixture {
 protected:
  static constexpr uint32_t kWhiteImage = 0x56000001;

  void SetUp() override {
    DisplayFixture::SetUp();
    fonts.Init();
    ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, ReadBytes(kDejaVuSans))) << "fonts-dejavu-core";
    AddImage(kWhiteImage, 1, 1);
    Run("g = require 'gcore.c'");
    text = Make<GCore::TextQuad>("t");
    Run("t.width, t.height, t.align = 300, 100, 1");
  }
  void TearDown() override {
    fonts.Shutdown();
    GCore::ClearFontStyles();
    DisplayFixture::TearDown();
  }

  // Puts the pointer at a point of the text's own coordinates.
  void PointAt(float x, float y) {
    text->UpdateWorldTransform();
    game->mousePosition = {x + text->worldMatrix->tx, y + text->worldMatrix->ty};
  }

  float Advance(uint32_t code) { return text->GetGlyph(code, 1)->width; }

  // The left edge and top of the text block (align 1: the box's top left).
  float BlockLeft() const { return -150.0f + static_cast<float>(text->margin); }
  float BlockTop() const { return 50.0f; }

  // Draws the text and returns what it drew, in order, in the text's own
  // coordinates (it is only moved, never turned or scaled here).
  std::vector<DrawnImage> Draw() {
    renderer.batches.clear();
    text->Draw();
    renderer.Flush(nullptr);
    const float tx = text->worldMatrix->tx;
    const float ty = text->worldMatrix->ty;
    std::vector<DrawnImage> drawn;
    for (const RecordedBatch& batch : renderer.batches) {
      for (size_t i = 0; i + 6 <= batch.vertices.size(); i += 6) {
        DrawnImage d{1e9f, 1e9f, -1e9f, -1e9f, 0, 0, 0, 0, 0, 0, batch.texture};
        for (size_t k = i; k < i + 6; ++k) {
          const RecordedVertex& v = batch.vertices[k];
          d.left = std::min(d.left, v.x - tx);
          d.right = std::max(d.right, v.x - tx);
          d.bottom = std::min(d.bottom, v.y - ty);
          d.top = std::max(d.top, v.y - ty);
        }
        const RecordedVertex& first = batch.vertices[i];
        d.r = first.r, d.g = first.g, d.b = first.b, d.a = first.a;
        d.u = first.u, d.v = first.v;
        drawn.push_back(d);
      }
    }
    return drawn;
  }

  // The drawn images that are glyphs of the atlas.
  std::vector<DrawnImage> Glyphs() {
    std::vector<DrawnImage> glyphs;
    for (const DrawnImage& d : Draw()) {
      if (d.texture && d.texture->id == 0x60180000) glyphs.push_back(d);
    }
    return glyphs;
  }

  std::vector<int32_t> LineEnds() const {
    std::vector<int32_t> ends;
    for (const GCore::LineDesc& line : text->lines) ends.push_back(line.end);
    return ends;
  }

  GCore::TTFManager fonts;
  GCore::TextQuad* text = nullptr;
};
