#pragma once

namespace GCore {

// The program: start-up, the message loop, exit. argv[1] names the project a
// restart starts; argv[2] is the game mode. Returns 0, or 1 when the window
// or its EGL surface cannot be made.
int RunProgram(int argc, char** argv);

}  // namespace GCore
