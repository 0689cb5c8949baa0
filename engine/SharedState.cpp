#include "engine/SharedState.h"

std::string CurrentPatchHost;
std::string CurrentGameAddress;
bool HasUifMagic = false;
std::string WorkingFolder;

void SetSharedText(std::string& field, const std::string& value) {
    field = value.substr(0, kSharedTextMax);
}
