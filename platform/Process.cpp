#include "platform/Process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/File.h"
#include "platform/FileSystem.h"

extern char** environ;

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program name: up to the first blank, quotes grouping, no escapes.
size_t TakeProgramName(std::string_view line, std::string& name) {
    size_t i = 0;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else {
            name.push_back(line[i]);
        }
        ++i;
    }
    return i;
}

size_t TakeArgument(std::string_view line, size_t i, std::string& argument) {
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
        size_t backslashes = 0;
        while (i < line.size() && line[i] == '\\') {
            ++backslashes;
            ++i;
        }
        if (i < line.size() && line[i] == '"') {
            argument.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                argument.push_back('"');
            } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                argument.push_back('"');
                ++i;
            } else {
                quoted = !quoted;
            }
            ++i;
        } else {
            argument.append(backslashes, '\\');
            if (backslashes == 0 && i < line.size()) argument.push_back(line[i++]);
        }
    }
    return i;
}

bool IsRegularFile(const std::string& native) {
    struct stat info {};
    return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HasExtension(std::string_view name) {
    size_t dot = name.find_last_of('.');
    size_t separator = name.find_last_of("\\/");
    return dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator);
}

std::optional<std::string> FindIn(const std::string& folder, std::string_view name) {
    std::string base = folder.empty() ? std::string(name) : folder + "/" + std::string(name);
    if (!HasExtension(name)) {
        std::string withExe = ToNativePath(base + ".exe");
        if (IsRegularFile(withExe)) return withExe;
    }
    std::string native = ToNativePath(base);
    if (IsRegularFile(native)) return native;
    return std::nullopt;
}

std::vector<std::string> PathFolders() {
    std::vector<std::string> folders;
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        if (!folder.empty()) folders.push_back(folder);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return folders;
}

bool IsWindowsProgram(const std::string& native) {
    CFile file;
    char magic[2] = {};
    return file.Open(native, CFile::Mode::Read) && file.ReadExact(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

// 0 when the program started, else the system's reason.
int Spawn(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    return posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
}

std::optional<std::string> FindWine() {
    for (const std::string& folder : PathFolders()) {
        std::string wine = folder + "/wine";
        if (access(wine.c_str(), X_OK) == 0) return wine;
    }
    return std::nullopt;
}

ProgramStart Failure(ProgramStartError error, int systemError = 0) { return {error, systemError}; }

// Children are never waited for; collect those that have ended so none linger.
void ReapEndedChildren() {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    std::string name;
    size_t i = TakeProgramName(commandLine, name);
    if (name.empty() && i == 0) return args;
    args.push_back(name);
    while (true) {
        while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
        if (i >= commandLine.size()) break;
        std::string argument;
        i = TakeArgument(commandLine, i, argument);
        args.push_back(std::move(argument));
    }
    return args;
}

std::optional<std::string> FindProgram(std::string_view name) {
    if (name.empty()) return std::nullopt;
    if (name.find_first_of("\\/") != std::string_view::npos) return FindIn("", name);
    std::vector<std::string> folders = {ExecutableFolder(), CurrentFolder()};
    if (std::string system = SystemFolder(); !system.empty()) folders.push_back(system);
    for (const std::string& folder : PathFolders()) folders.push_back(folder);
    for (const std::string& folder : folders) {
        if (auto found = FindIn(folder, name)) return found;
    }
    return std::nullopt;
}

ProgramStart RunProgram(std::string_view commandLine) {
    ReapEndedChildren();
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty()) return Failure(ProgramStartError::NotFound);
    std::optional<std::string> program = FindProgram(args[0]);
    if (!program) return Failure(ProgramStartError::NotFound);
    bool windows = IsWindowsProgram(*program);
    int refused = 0;
    if (!windows || access(program->c_str(), X_OK) == 0) {
        refused = Spawn(*program, args);
        if (refused == 0) return {};
        if (!windows) return Failure(ProgramStartError::SpawnFailed, refused);
    }
    std::optional<std::string> wine = FindWine();
    if (!wine) return Failure(ProgramStartError::NeedsWine);
    std::vector<std::string> wineArgs = {"wine", *program};
    wineArgs.insert(wineArgs.end(), args.begin() + 1, args.end());
    refused = Spawn(*wine, wineArgs);
    return refused == 0 ? ProgramStart{} : Failure(ProgramStartError::SpawnFailed, refused);
}

std::string SystemFolder() {
    const char* prefix = std::getenv("WINEPREFIX");
    std::string folder;
    if (prefix && *prefix) {
        folder = prefix;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.wine";
    }
    folder += "/drive_c/windows/system32";
    // The system asks for it into 260 bytes.
    return folder.size() < 260 ? folder : std::string();
}

}  // namespace platform
