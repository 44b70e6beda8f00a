#include "platform/SdlEvents.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>

#include "platform/KeyMap.h"

namespace GCore {
namespace {

constexpr uint32_t VK_F10 = VK_F1 + 9;

void Append(std::vector<Message>& out, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  out.push_back(Message{message, wParam, lParam});
}

// The character TranslateMessage makes of a key press on a US layout, 0 for
// none. Printable characters come from SDL's text events instead.
uint32_t ControlCharacter(uint32_t vk, bool ctrl, bool alt) {
  if (ctrl && alt) return 0;  // AltGr: the layout's own characters, via text events
  if (ctrl) {
    if (vk >= VK_A && vk < VK_A + 26) return vk - VK_A + 1;
    switch (vk) {
      case VK_OEM_4: return 27;
      case VK_OEM_5: return 28;
      case VK_OEM_6: return 29;
      case VK_BACK: return 127;
      case VK_RETURN: return 10;
      default: return 0;
    }
  }
  switch (vk) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE: return vk;
    default: return 0;
  }
}

void TranslateKey(const SDL_KeyboardEvent& key, std::vector<Message>& out) {
  const uint32_t vk = VirtualKeyFromSdl(key.keysym);
  if (vk == 0) return;
  const bool down = key.type == SDL_KEYDOWN;
  const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
  const bool ctrl = (key.keysym.mod & KMOD_CTRL) != 0;
  // Windows sends the SYS variants for Alt itself, for keys pressed with Alt
  // held (but not with Ctrl too, which is AltGr) and for F10.
  const bool system = !ctrl && (alt || vk == VK_MENU || vk == VK_F10);
  intptr_t lParam = 1;
  if (alt) lParam |= KEY_ALT_DOWN_BIT;
  if (!down || key.repeat) lParam |= KEY_PREVIOUS_STATE_BIT;
  if (!down) lParam |= KEY_TRANSITION_BIT;
  if (down) {
    Append(out, system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, lParam);
    if (const uint32_t character = ControlCharacter(vk, ctrl, alt)) {
      Append(out, alt ? WM_SYSCHAR : WM_CHAR, character, lParam);
    }
  } else {
    Append(out, system ? WM_SYSKEYUP : WM_KEYUP, vk, lParam);
  }
}

// Length of the UTF-8 sequence that starts with this byte, 0 when it cannot
// start one.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

class GbkConverter {
 public:
  GbkConverter() : handle_(iconv_open("GBK", "UTF-8")) {}
  ~GbkConverter() {
    if (Valid()) iconv_close(handle_);
  }
  GbkConverter(const GbkConverter&) = delete;
  GbkConverter& operator=(const GbkConverter&) = delete;

  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts one UTF-8 character; returns the number of GBK bytes (1 or 2),
  // 0 when GBK has no such character.
  size_t Convert(const char* character, size_t length, unsigned char (&gbk)[4]) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(character);  // iconv's signature only; it does not write
    char* outStart = reinterpret_cast<char*>(gbk);
    char* outPos = outStart;
    size_t inLeft = length;
    size_t outLeft = sizeof(gbk);
    if (iconv(handle_, &in, &inLeft, &outPos, &outLeft) == static_cast<size_t>(-1)) return 0;
    return static_cast<size_t>(outPos - outStart);
  }

 private:
  iconv_t handle_;
};

void TranslateText(const char* text, size_t capacity, std::vector<Message>& out) {
  GbkConverter converter;
  if (!converter.Valid()) return;
  const size_t total = strnlen(text, capacity);
  size_t pos = 0;
  while (pos < total) {
    const size_t length = SequenceLength(static_cast<unsigned char>(text[pos]));
    if (length == 0) {  // a stray byte: skip it alone
      ++pos;
      continue;
    }
    if (pos + length > total) break;
    unsigned char gbk[4];
    const size_t bytes = converter.Convert(text + pos, length, gbk);
    pos += length;
    if (bytes == 1 && gbk[0] < 0x80) {
      Append(out, WM_CHAR, gbk[0], 1);
    } else if (bytes == 2) {
      Append(out, WM_IME_CHAR, (static_cast<uintptr_t>(gbk[0]) << 8) | gbk[1], 1);
    }
    // A single byte of 0x80 or more would be taken for a lead byte waiting
    // for its trail, so such a character is dropped like an unmappable one.
  }
}

void TranslateButton(const SDL_MouseButtonEvent& button, bool swapped, std::vector<Message>& out) {
  const bool down = button.type == SDL_MOUSEBUTTONDOWN;
  uint8_t which = button.button;
  if (swapped && which == SDL_BUTTON_LEFT) {
    which = SDL_BUTTON_RIGHT;
  } else if (swapped && which == SDL_BUTTON_RIGHT) {
    which = SDL_BUTTON_LEFT;
  }
  uint32_t message = 0;
  switch (which) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    default: return;
  }
  Append(out, message, 0, MakeLParam(button.x, button.y));
}

void TranslateWheel(const SDL_MouseWheelEvent& wheel, std::vector<Message>& out) {
  int notches = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.y : wheel.y;
  if (notches == 0) return;  // horizontal scrolling has no message here
  notches = std::clamp(notches, -(32767 / WHEEL_DELTA), 32767 / WHEEL_DELTA);
  const uintptr_t delta = static_cast<uint16_t>(notches * WHEEL_DELTA);
  // The pointer position rides in lParam in client coordinates.
  Append(out, WM_MOUSEWHEEL, delta << 16, MakeLParam(wheel.mouseX, wheel.mouseY));
}

void TranslateWindow(const SDL_WindowEvent& window, const EventContext& context,
                     std::vector<Message>& out) {
  switch (window.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      Append(out, WM_SIZE, SIZE_RESTORED, MakeLParam(window.data1, window.data2));
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      Append(out, WM_SIZE, SIZE_MINIMIZED, 0);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      // Coming back from a minimise brings no size change of its own.
      if (context.clientWidth > 0 && context.clientHeight > 0) {
        Append(out, WM_SIZE, SIZE_RESTORED, MakeLParam(context.clientWidth, context.clientHeight));
      }
      break;
    case SDL_WINDOWEVENT_CLOSE:
      Append(out, WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
}

}  // namespace

void TranslateSdlEvent(const SDL_Event& event, const EventContext& context,
                       std::vector<Message>& out) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      TranslateWindow(event.window, context, out);
      break;
    case SDL_QUIT:  // the desktop asks the program to end: close as the close box would
      Append(out, WM_CLOSE, 0, 0);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(event.key, out);
      break;
    case SDL_TEXTINPUT:
      TranslateText(event.text.text, sizeof(event.text.text), out);
      break;
    case SDL_TEXTEDITING:
      Append(out, WM_IME_COMPOSITION, 0, 0);
      break;
    case SDL_MOUSEMOTION:
      Append(out, WM_MOUSEMOVE, 0, MakeLParam(event.motion.x, event.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      TranslateButton(event.button, context.buttonsSwapped, out);
      break;
    case SDL_MOUSEWHEEL:
      TranslateWheel(event.wheel, out);
      break;
    default:
      break;
  }
}

}  // namespace GCore
