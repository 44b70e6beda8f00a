#pragma once

namespace GCore {

// The program: start-up, the message loop, exit. argv[1] names the project a
// restart starts; argv[2] is the game mode. Returns 0 on every path.
int RunProgram(int argc, char** argv);

}  // namespace GCore
