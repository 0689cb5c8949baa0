#pragma once
// Whether a path handed to the program would be followed through a symbolic link,
// so that callers writing below a folder can refuse routes that lead elsewhere.
#include <string_view>

namespace platform {

// True when one of the components of `relative`, resolved below `base` the way
// ToNativePath resolves them, is a symbolic link on disk. Components that do not
// exist yet are no links. `base` itself is not tested: the caller chose it.
bool HasSymbolicLinkBelow(std::string_view base, std::string_view relative);

}  // namespace platform
