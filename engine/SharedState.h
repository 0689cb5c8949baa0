#pragma once
// Process-wide state that the window sets and the update worker reads: the chosen
// server's patch host and game address (copied when patching starts), whether
// updater.uif carried its magic, and the working folder.
#include <string>

// Longest text these 1024-byte fields hold, terminating zero aside.
constexpr size_t kSharedTextMax = 1023;

// Host name of the patch host of this run; the run may replace it by the default
// patch host when the published list cannot be had from it.
extern std::string CurrentPatchHost;
// Argument of the game's command line.
extern std::string CurrentGameAddress;
// updater.uif began with "UIF": the game is started with the address.
extern bool HasUifMagic;
// The current folder when the window initialised; every local file of a run is
// named relative to it.
extern std::string WorkingFolder;

// Copies at most kSharedTextMax bytes, as the fixed fields would.
void SetSharedText(std::string& field, const std::string& value);
