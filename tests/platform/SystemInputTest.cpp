#include <gtest/gtest.h>

#include <SDL_keyboard.h>

#include "platform/Messages.h"
#include "platform/SystemInput.h"

namespace {

// Without a window the services answer as a bare machine would.
TEST(SystemInput, HeadlessAnswers) {
  std::string text = "stale";
  EXPECT_EQ(GCore::ReadClipboardText(text), GCore::ClipboardStatus::Unavailable);
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(GCore::WriteClipboardText("x"));
  EXPECT_FALSE(GCore::MouseButtonsSwapped());
  GCore::SetMouseButtonsSwapped(true);
  EXPECT_TRUE(GCore::MouseButtonsSwapped());
  GCore::SetMouseButtonsSwapped(false);
}

TEST(SystemInput, LockKeysReportTheirToggleInBitZero) {
  SDL_SetModState(KMOD_CAPS);
  EXPECT_EQ(GCore::GetKeyState(GCore::VK_CAPITAL), 1);  // toggled, not held
  EXPECT_EQ(GCore::GetKeyState(GCore::VK_NUMLOCK), 0);
  SDL_SetModState(static_cast<SDL_Keymod>(KMOD_NUM | KMOD_SCROLL));
  EXPECT_EQ(GCore::GetKeyState(GCore::VK_CAPITAL), 0);
  EXPECT_EQ(GCore::GetKeyState(GCore::VK_NUMLOCK), 1);
  EXPECT_EQ(GCore::GetKeyState(GCore::VK_SCROLL), 1);
  EXPECT_EQ(GCore::GetKeyState('A'), 0);
  SDL_SetModState(KMOD_NONE);
}

}  // namespace
