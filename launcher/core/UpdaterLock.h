#pragma once
// One updater per user and per game folder: the launcher window and `velmor
// update` each hold, for their whole life, the user's named mutex "Velmor
// Updater" and the lock of the game folder itself, so that neither a second
// launcher of the same user nor an updater run by another user (a scheduled job)
// writes the folder's archives and pack at the same time.
#include <string>

// The refusal when another updater holds a lock: string 127 and its code.
constexpr int kUpdaterRunningMessage = 127;
constexpr const char* kUpdaterRunningCode = "c01";

// Takes both locks for the rest of the process's life; false when another
// updater holds either. A lock that cannot be had for another reason (no lock
// folder of the user's own) keeps nobody from the game.
bool TakeUpdaterLock(const std::string& gameFolder);
