#pragma once
// The display object that shows text, and the engine's editable text field.
// Its text carries inline markup (colours and font styles, links, tabs,
// inline images, typewriter waits and speeds), is parsed into elements, laid
// out into lines within the object's width and drawn glyph by glyph from its
// font: a glyph atlas (kind-6 font ids), a set of glyph images, or a strip of
// digit images.
// Rules:
//  - Every reading of the text stops at its end: a UTF-8 sequence or a tag
//    cut short by the end is dropped, never read beyond.
//  - The layout is made again only when marked dirty (text, font, size or
//    settings changed), never for a plain redraw.
//  - Element indices are caret positions: the caret before element k; the
//    selection is the range between the two selection ends.
//  - Callbacks and "DB_EVAL" run under the shared message handler in the
//    object's own Lua state.
// Main thread only.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <lua.hpp>

#include "display/Entity.h"
#include "display/TextMarkup.h"

namespace GCore {

class Image;
struct AirFrameInfo;

// One laid-out line: the elements before `end` that follow the previous line.
class LineDesc {
 public:
  virtual ~LineDesc() = default;
  int32_t end = 0;
  float height = 0;
};

// Called as the typewriter reveals more text: plays the dialog sound when
// one is set ("SetDialogSound"); null while no sound system is attached.
using DialogSoundHook = void (*)();
extern DialogSoundHook g_dialogSound;

class TextQuad : public Entity {
 public:
  static const ClassInfo classInfo;

  explicit TextQuad(lua_State* L);
  ~TextQuad() override;
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The entity copy, then the text settings, spacings, typewriter,
  // selection, callbacks (within the same state), style, font and text.
  void CopyFrom(DisplayObject* source) override;
  void Draw() override;
  // The layout is made again when the width changed, which the draw finds
  // out itself, so moving the text costs no layout.
  void Invalidate(bool transform) override;
  // While visible: the container update, then the hover callback when the
  // link under the pointer changed.
  void Update() override;
  // The entity handling, then the click callback on "click" over a link.
  bool HandleEvent(const char* name, DisplayObject* target, const char* arg) override;
  // Link clicks are heard without components.
  bool ListensToEvents() const override { return true; }
  const char* GetClassName() const override { return "TextQuad"; }

  // Text.
  // Null does nothing. A text holding "[db=" shows what "DB_EVAL" makes of it.
  void SetText(const char* text);
  // The text as set last, or null when it came from a text id.
  const char* GetText() const;
  // Shows the language text of the id (none for 0 or below) when it changed.
  void SetTextId(int32_t id);
  // The font resource (project byte 0: the current project); the line height
  // becomes the font's pixel height (glyph sheets) or image height.
  void SetFont(uint32_t id);
  // Calls "DB_EVAL"(text); its string or number result, else "".
  std::string EvalDbText(const char* text);
  // The glyph of the code point in the style, or null.
  Image* GetGlyph(uint32_t code, int32_t styleIndex);
  // Lays the lines out again from line `first` on; false.
  bool LayoutLines(int32_t first);
  // The widest line (width 0: no limit) or the total height of the text laid
  // out within `width`.
  float MeasureLine(int32_t width);
  // The caret index nearest the local point.
  int32_t GetCharIndexAt(float x, float y);
  // The line holding the element.
  int32_t GetLineOf(int32_t element) const;

  // Editing.
  // Inserts typed text at the caret, or acts on a lone control character:
  // backspace 8, delete 127, paste 22; carriage return and escape do nothing.
  void InsertText(const char* input);
  // End, Home, Left, Right and Delete move the caret or delete.
  void HandleEditKey(uint32_t virtualKey);
  // Callback kind beginning with 'h': hover, else click; the function on top
  // of L's stack (anything else is ignored), popped.
  void SetCallback(lua_State* L, const char* kind);

  int32_t ElementCount() const { return static_cast<int32_t>(elements.size()); }
  int32_t SelectionLow() const { return std::min(selectFrom, selectTo); }
  int32_t SelectionHigh() const { return std::max(selectFrom, selectTo); }

  // The elements of the parsed text, and the UTF-8 bytes of the visible
  // characters (tags add a carriage return after them).
  std::vector<TextElement> elements;
  std::string plain;
  std::vector<LineDesc> lines;
  // Glyph, selection background, caret (r, g, b, a from 0 to 1).
  float textColors[3][4] = {{1, 1, 1, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}};
  bool layoutDirty = true;
  int32_t selectFrom = -1;
  int32_t selectTo = -1;
  float textWidth = 0;
  float textHeight = 16;
  bool password = false;
  bool wrap = false;
  bool readOnly = true;
  uint8_t align = 5;
  int32_t letterSpacing = 0;
  int32_t lineSpacing = 0;
  int32_t lineHeight = 16;
  int32_t margin = 0;
  int32_t maxBytes = 0x0FFFFFFF;
  float typed = 0;       // typewriter: elements still hidden
  float typeSpeed = 0;   // typewriter: elements a second; 0 shows all
  uint32_t selectionColor = 0;  // red in bits 0-7; 0: the second text colour
  int8_t style = 1;
  int32_t textId = 0;
  uint8_t fontProject = 0;
  uint32_t fontId = 0x60180000;
  std::string sourceText;
  // Offsets of the link under the pointer now and at the last hover call.
  int32_t hoveredLink = 0;
  int32_t previousHoveredLink = 0;
  int32_t typewriterWait = 0;

 private:
  struct Block {
    float x, y;  // bottom left of the text block
  };

  // The text through "DB_EVAL" when it holds "[db=", then parsed.
  void ShowText(const std::string& text);
  // Parses the text into elements, unless it equals the plain buffer, which
  // only restarts the typewriter.
  void ParseMarkup(const std::string& text);
  void RestartTypewriter();
  // Reveals more of the text by the frame's time; each wait or speed tag acts
  // once as it is revealed.
  void AdvanceTypewriter();
  // The elements the typewriter shows.
  int32_t ShownCount() const;

  // Layout.
  // Lays the text out when it or its width changed since the last layout.
  void EnsureLayout();
  // The widest a line may be: the width, or no limit when the object grows.
  float LineLimit();
  // Breaks the elements from `first` on into lines appended to `out` and
  // returns the widest line.
  float BreakLines(int32_t first, float limit, bool wrapLines, std::vector<LineDesc>& out);
  // The advance and height of an element in the style; false when it shows
  // nothing.
  bool ElementSize(const TextElement& element, int32_t styleIndex, float& advance, float& height);
  // The markup state in force before the element.
  MarkupState MarkupBefore(int32_t element) const;
  // The text block (text width by text height) placed in the box by margin
  // and alignment.
  Block PlaceBlock();
  // The line at the local y, its top in lineTop; the last line below the
  // text, lines.size() above it or without lines.
  size_t LineAt(const Block& block, float y, float& lineTop) const;
  // The link of the first glyph, on the line at the point, whose right edge
  // reaches the point's x; 0 for none.
  int32_t LinkAt(const Block& block, float x, float y);

  // Drawing.
  void WorldColour(float colour[4]) const;
  void SelectionColour(float colour[4]) const;
  void DrawLines(const Block& block, float boxBottom, float boxTop);
  // The image over the rectangle (local coordinates) through the world matrix.
  void DrawImageAt(const Image& image, const AirFrameInfo* frame, float x, float y, float width,
                   float height, const float colour[4]);
  void DrawGlyph(const Image& image, float x, float y, const float colour[4]);
  void DrawShadow(const Image& glyph, float x, float y, const float colour[4]);
  void DrawCaret(float x, float y, float height);
  void DrawRectangle(float x, float y, float width, float height, const float colour[4]);

  // Links and editing.
  // Pushes the text of the hovered link; false when no link is hovered.
  bool PushLinkText(lua_State* L) const;
  void CallCallback(int reference);
  // The plain-buffer offset of the caret index.
  size_t ByteOffset(int32_t index) const;

  std::string parsedText_;  // what the markup was parsed from (links point into it)
  float laidOutWidth_ = -1;   // the width the lines were laid out in
  float laidOutLimit_ = -1;
  int32_t lastTagActed_ = 0;  // the typewriter scans tags from here
  int hoverCallback_ = LUA_NOREF;
  int clickCallback_ = LUA_NOREF;
};

// The "TextQuad" class of a project state: its metatable and its creator in
// the class factory.
void RegisterTextQuadClass(lua_State* L);

// The script constructor "TextQuad": a new text object (arguments ignored).
int NewTextQuadScript(lua_State* L);

}  // namespace GCore
