#include "game/Entry.h"

int main(int argc, char** argv) { return GCore::RunProgram(argc, argv); }
