#pragma once
// The file-system error of the archive code: a file that cannot be opened or
// whose time cannot be set. Kept apart from CZipException because it says nothing
// about the archive's contents; the extraction reports both as a failed extraction.
#include <stdexcept>
#include <string>

class CFileError : public std::runtime_error {
public:
    // `osError` is the errno of the failed call (0 when unknown).
    CFileError(const std::string& action, std::string path, int osError);

    const std::string& GetPath() const { return m_path; }
    int GetOsError() const { return m_nOsError; }

private:
    std::string m_path;
    int m_nOsError;
};
