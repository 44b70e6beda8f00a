#pragma once
// The Steam bridge: an optional library "steam_tool.so" beside the executable.
// A machine without it is the normal case and nothing is printed. The library
// is loaded for each call and released after it, so any thread may ask.
#include <cstdint>
#include <optional>
#include <string>

namespace GCore {

// The folder of the running executable followed by "/steam_tool.so".
std::string SteamLibraryPath();

// The player's account number from "steam_getAccount"; empty when the
// library or that export is missing.
std::optional<int> SteamGetAccount();
std::optional<int> SteamGetAccount(const std::string& libraryPath);

// The player's 64-bit Steam id from "steam_getSteamId2"; 0 when the library
// or that export is missing (0 also means "no id" to callers).
uint64_t SteamGetSteamId2();
uint64_t SteamGetSteamId2(const std::string& libraryPath);

}  // namespace GCore
