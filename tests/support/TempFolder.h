#pragma once
// A fresh folder under /tmp for one test, removed afterwards; optionally the
// current folder while it lives (the engine works relative to it).
#include <string>
#include <string_view>

namespace testsupport {

class CTempFolder {
public:
    explicit CTempFolder(bool enter = false);
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(std::string_view relative) const;

private:
    std::string m_path;
    std::string m_previous;
};

void WriteFile(const std::string& path, std::string_view content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Runs a shell command and returns its exit status (-1 when it could not run).
int RunShell(const std::string& command);

struct CommandResult {
    int status = -1;     // exit status, or 128 + the signal that ended it
    std::string output;  // standard output and error, merged
};
// Runs a shell command and collects what it prints.
CommandResult RunCommand(const std::string& command);
// Folder of the test binaries' sibling programs (the build's tools/ folder).
std::string BuildFolder();

}  // namespace testsupport
