#pragma once
#include <string>

namespace platform {

// True when the X display shows a top-level window with this title whose WM_CLASS
// names the class, or whose instance name is `instance` (Wine names a Windows
// program's windows after its executable). Without a display there is no window.
bool FindTopLevelWindow(const std::string& title, const std::string& className, const std::string& instance);

}  // namespace platform
