#include "display/AirParser.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "render/Image.h"

namespace GCore {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The cursor of one parse. Numbers are written as text and end with "," or a
// line feed; the readers take any other character as a digit, as the files'
// own tools always did, but never read past the end of the text: running
// into the end is the only failure and ends the parse.
class AirReader {
 public:
  AirReader(const char* text, size_t size)
      : start_(text), p_(text), end_(text + size), stop_(size >= 2 ? text + size - 2 : text) {}

  std::unique_ptr<AirData> Parse(int project) {
    auto data = std::make_unique<AirData>();
    const int32_t form = Number();
    const int32_t fps = Number();
    data->frameMs = fps > 0 ? static_cast<uint16_t>(1000 / fps) : 167;
    longForm_ = form < 10;
    uint32_t loopNumber = 0;
    if (longForm_) {
      data->width = static_cast<float>(Number());
      data->height = static_cast<float>(Number());
      Skip(1);
    } else {
      loopNumber = LineNumber();
    }
    // Every pass appends an action, so a parsed file has at least one.
    do {
      data->actions.emplace_back();
      AirAction& action = data->actions.back();
      ReadAction(action);
      if (!longForm_) {
        const uint32_t low = (loopNumber - 1u) & 0xFFFFu;
        action.loopIndex = static_cast<int32_t>((static_cast<uint32_t>(action.loopIndex) & 0xFFFF0000u) | low);
      }
    } while (!failed_ && p_ < stop_);
    if (failed_) {
      LogPrintf("Air data: %s at byte %zu of %zu\n", failure_, static_cast<size_t>(p_ - start_),
                static_cast<size_t>(end_ - start_));
      return nullptr;
    }
    if (!longForm_) SizeFromFirstImage(*data, project);
    return data;
  }

 private:
  char Peek(size_t ahead = 0) const {
    return ahead < static_cast<size_t>(end_ - p_) ? p_[ahead] : '\0';
  }
  void Skip(size_t n) { p_ += std::min(n, static_cast<size_t>(end_ - p_)); }
  void Fail(const char* what) {
    if (!failed_) failure_ = what;
    failed_ = true;
  }

  int32_t Number() {
    if (failed_) return 0;
    while (Peek() == ' ') ++p_;
    const bool negative = Peek() == '-';
    if (negative) ++p_;
    uint32_t value = 0;  // wraps like the 32-bit field it fills
    while (p_ < end_ && *p_ != ',' && *p_ != '\n') {
      value = value * 10u + static_cast<uint32_t>(*p_ - '0');
      ++p_;
    }
    if (p_ >= end_) {
      Fail("the file ends inside a number");
      return 0;
    }
    terminator_ = *p_++;
    return static_cast<int32_t>(negative ? 0u - value : value);
  }

  void Name(char (&out)[16]) {
    if (failed_) return;
    while (Peek() == ' ') ++p_;
    size_t n = 0;
    for (; p_ < end_ && *p_ != ',' && *p_ != '\n'; ++p_) {
      if (n < sizeof(out) - 1) out[n++] = *p_;
    }
    out[n] = '\0';
    if (p_ >= end_) {
      Fail("the file ends inside an action name");
      return;
    }
    terminator_ = *p_++;
  }

  // The compact form's loop number: digits up to a carriage return or line
  // feed, which is skipped together with a line feed after it.
  uint32_t LineNumber() {
    uint32_t value = 0;
    for (; p_ < end_ && *p_ != '\r' && *p_ != '\n'; ++p_) {
      value = value * 10u + static_cast<uint32_t>(*p_ - '0');
    }
    if (p_ >= end_) {
      Fail("the file ends inside the header");
      return 0;
    }
    ++p_;
    if (Peek() == '\n') ++p_;
    return value;
  }

  // "C1=n,x1,y1,x2,y2,..." (type 1) or "C<other>=..." (type 2).
  void BoxList(std::vector<AirBox>& boxes) {
    if (failed_ || Peek() != 'C' || Peek(2) != '=') return;
    const uint8_t type = Peek(1) == '1' ? 1 : 2;
    Skip(3);
    const int32_t count = Number();
    if (failed_ || count <= 0) return;
    // A box is four numbers of at least one terminator each.
    if (static_cast<size_t>(count) > static_cast<size_t>(end_ - p_) / 4) {
      Fail("a box count exceeds what the file holds");
      return;
    }
    boxes.reserve(boxes.size() + static_cast<size_t>(count));
    for (int32_t i = 0; i < count && !failed_; ++i) {
      const float x1 = static_cast<float>(Number());
      const float y1 = static_cast<float>(Number());
      const float x2 = static_cast<float>(Number());
      const float y2 = static_cast<float>(Number());
      // The file's y axis points down; boxes are kept with y up.
      if (!failed_) boxes.push_back(AirBox{type, x1, -y2, x2, -y1});
    }
  }

  void ReadFrame(AirFrame& frame) {
    BoxList(frame.boxes);
    BoxList(frame.boxes);
    if (failed_) return;
    // Eight digits and a separator, whatever the digits turn out to be.
    uint32_t id = 0;
    for (size_t i = 0; i < 8; ++i) {
      const int digit = HexValue(Peek(i));
      if (digit < 0) break;
      id = id << 4 | static_cast<uint32_t>(digit);
    }
    frame.imageId = id;
    Skip(9);
    if (!longForm_) {
      frame.duration = 1;
      if (Peek() == '\r' || Peek() == '\n') ++p_;
      return;
    }
    frame.duration = static_cast<uint16_t>(Number());
    if (terminator_ == '\n') return;
    frame.offsetX = static_cast<int16_t>(Number());
    frame.offsetY = static_cast<int16_t>(Number());
    if (terminator_ == '\n') return;
    frame.flip = static_cast<uint8_t>(Number());
    if (terminator_ == '\n') return;
    frame.alpha = static_cast<uint8_t>(Number());
  }

  void ReadAction(AirAction& action) {
    if (longForm_) {
      Skip(3);  // the action line's tag
      action.id = Number();
      if (!failed_ && terminator_ != '\n') Name(action.name);
      BoxList(action.defaultBoxes);
    }
    // Frame lines up to an empty line; "LP" marks where the loop starts.
    do {
      if (Peek() == 'L' && Peek(1) == 'P') {
        action.loopIndex = static_cast<int32_t>(action.frames.size());
        Skip(3);
      }
      action.frames.emplace_back();
      ReadFrame(action.frames.back());
    } while (!failed_ && Peek() != '\n' && p_ < stop_);
    Skip(1);
  }

  void SizeFromFirstImage(AirData& data, int project) const {
    data.width = 100;
    data.height = 100;
    const AirAction& first = data.actions.front();
    if (first.frames.empty() || !g_resourceManager) return;
    const Image* image = g_resourceManager->GetImage(OwnerPair{project, first.frames.front().imageId});
    if (!image) return;
    data.width = image->width;
    data.height = image->height;
  }

  const char* start_;
  const char* p_;
  const char* end_;
  const char* stop_;  // the last two bytes of a file are never parsed
  char terminator_ = 0;
  bool longForm_ = true;
  bool failed_ = false;
  const char* failure_ = "";
};

void SetInteger(lua_State* L, const char* key, lua_Integer value) {
  lua_pushinteger(L, value);
  lua_setfield(L, -2, key);
}

void PushBoxes(lua_State* L, const std::vector<AirBox>& boxes) {
  lua_createtable(L, static_cast<int>(boxes.size()), 0);
  for (size_t i = 0; i < boxes.size(); ++i) {
    const AirBox& box = boxes[i];
    lua_createtable(L, 0, 5);
    SetInteger(L, "type", box.type);
    const std::pair<const char*, float> sides[] = {
        {"left", box.left}, {"bottom", box.bottom}, {"right", box.right}, {"top", box.top}};
    for (const auto& [key, value] : sides) {
      lua_pushnumber(L, value);
      lua_setfield(L, -2, key);
    }
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
}

void PushFrame(lua_State* L, const AirFrame& frame) {
  lua_createtable(L, 0, 7);
  SetInteger(L, "img", frame.imageId);
  SetInteger(L, "duration", frame.duration);
  SetInteger(L, "offset_x", frame.offsetX);
  SetInteger(L, "offset_y", frame.offsetY);
  SetInteger(L, "flip", frame.flip);
  SetInteger(L, "alpha", frame.alpha);
  if (!frame.boxes.empty()) {
    PushBoxes(L, frame.boxes);
    lua_setfield(L, -2, "box");
  }
}

}  // namespace

std::unique_ptr<AirData> ParseAirData(const char* text, size_t size, int project) {
  if (!text) size = 0;
  return AirReader(text, size).Parse(project);
}

AirData* LoadAirData(OwnerPair pair) {
  if (!g_resourceManager) return nullptr;
  if (AirData* cached = g_resourceManager->GetAirData(pair)) return cached;
  const int project = (pair.variant & 0xFF) ? (pair.variant & 0xFF) : CurrentProjectIndex();
  const char* found = FindResourceFile("air data", pair.id, project);
  if (!found) return nullptr;
  const std::string path = found;  // the path buffer is shared
  std::vector<char> bytes;
  if (!ReadWholeResource(path.c_str(), bytes)) return nullptr;
  std::unique_ptr<AirData> data = ParseAirData(bytes.data(), bytes.size(), project);
  if (!data) {
    LogPrintf("Air data: %s is not usable\n", path.c_str());
    return nullptr;
  }
  return g_resourceManager->AddAirData(pair, std::move(data));
}

int PushAirAction(lua_State* L, const AirData& data, size_t index) {
  if (index >= data.actions.size()) return 0;
  const AirAction& action = data.actions[index];
  lua_createtable(L, 0, 5);
  SetInteger(L, "action_id", action.id);
  lua_pushstring(L, action.name);
  lua_setfield(L, -2, "name");
  SetInteger(L, "loopindex", action.loopIndex);
  if (!action.defaultBoxes.empty()) {
    PushBoxes(L, action.defaultBoxes);
    lua_setfield(L, -2, "defbox");
  }
  lua_createtable(L, static_cast<int>(action.frames.size()), 0);
  for (size_t i = 0; i < action.frames.size(); ++i) {
    PushFrame(L, action.frames[i]);
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
  lua_setfield(L, -2, "airlines");
  return 1;
}

}  // namespace GCore
