#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line by the Windows rules (program name first, then the
// arguments with their quote and backslash rules).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Where a program named on a command line is found: the launcher's own folder,
// the current folder, the system folder, then PATH (names matched without case,
// ".exe" tried when the name has no extension).
std::optional<std::string> FindProgram(std::string_view name);

// Why a program was not started.
enum class ProgramStartError {
    None,
    NotFound,     // no program of that name where programs are searched
    NeedsWine,    // a Windows program, and no wine on PATH to start it
    SpawnFailed,  // the system refused to start it (SystemError says why)
};

struct ProgramStart {
    ProgramStartError Error = ProgramStartError::None;
    int SystemError = 0;  // errno of a refused start
    explicit operator bool() const { return Error == ProgramStartError::None; }
};

// Starts the command line without waiting for it; Windows programs that cannot be
// executed directly go through wine. Environment and current folder are inherited.
ProgramStart RunProgram(std::string_view commandLine);

// The Wine prefix's system folder ($WINEPREFIX, else ~/.wine); empty when it cannot
// be named in 260 bytes.
std::string SystemFolder();

}  // namespace platform
