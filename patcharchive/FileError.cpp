#include "patcharchive/FileError.h"

#include <cstring>
#include <utility>

namespace {

std::string Describe(const std::string& action, const std::string& path, int osError) {
    std::string text = action + " " + path;
    if (osError != 0) text += ": " + std::string(std::strerror(osError));
    return text;
}

}  // namespace

CFileError::CFileError(const std::string& action, std::string path, int osError)
    : std::runtime_error(Describe(action, path, osError)), m_path(std::move(path)), m_nOsError(osError) {}
