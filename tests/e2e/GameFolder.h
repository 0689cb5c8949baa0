#pragma once
// Game folders of the end-to-end tests: built from a description of what the
// pack and the folder hold, and read back as their logical content (every pack
// path's bytes and every loose file's bytes), which is what a player's
// installation must end up with whatever the launcher went through.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "tests/support/TempFolder.h"

namespace e2e {

// Relative path (UTF-8, '/' between components) to the file's bytes.
using FileSet = std::map<std::string, std::string>;

struct GameVersion {
    FileSet packed;  // the files of data.vah/data.vaf
    FileSet loose;   // the files beside it (Game.exe included)
};

// What a game folder holds, as a player would compare it.
struct GameContent {
    FileSet packed;  // GBK pack paths with '/' and A-Z in lower case, as the pack finds them
    FileSet loose;   // every other file but Version.ini and the pack files
    std::string error;  // why the pack could not be read, or its first conflict
};

std::string Velmor();

using testsupport::CommandResult;
using testsupport::RunCommand;

// `count` bytes that compress about as badly as game data (seeded, repeatable).
std::string NoiseBytes(size_t count, uint32_t seed);

// Writes the version's pack with `velmor mkpack` and its loose files into
// `folder`; `scratch` is a folder for the pack's source files.
void MakeGameFolder(const std::string& folder, const GameVersion& version, const std::string& scratch);
// Version.ini of an installed game at `currentVersion`.
void WriteLocalRecord(const std::string& folder, uint32_t currentVersion, const std::string& marker = "");

GameContent ReadGameContent(const std::string& folder);
// The expected content of a folder made from `version`.
GameContent ExpectedContent(const GameVersion& version);

std::string RecordValue(const std::string& folder, const std::string& key);

// A shell script standing in for Game.exe: writes its arguments to `record`.
std::string RecordingGameScript(const std::string& record);

// Copies a folder tree with its permissions; the target is replaced.
void CopyFolder(const std::string& from, const std::string& to);

// Readable difference of two file sets, empty when they are equal.
std::string DescribeDifference(const FileSet& expected, const FileSet& actual);

}  // namespace e2e
