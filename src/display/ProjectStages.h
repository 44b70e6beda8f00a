#pragma once
// Every project's stage: the display list's side of the project manager
// (core/LuaManager.h), which the game names when it is loaded, before any
// project is made. Main thread only.

namespace GCore {

// Names the display list's ProjectStages to the project manager.
void NameProjectStages();

}  // namespace GCore
