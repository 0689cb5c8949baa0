#pragma once
#include <string_view>

// Creates a folder with all missing parents; true when it exists afterwards.
// Fails when the path, or one of its parents, names an existing file.
bool ForceFolder(std::string_view path);
