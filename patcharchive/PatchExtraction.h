#pragma once
// Writes every entry of a patch archive into a folder, overwriting what is there.
#include <string>
#include <string_view>

#include "patcharchive/IExtractionHost.h"

constexpr int kExtractFailed = 0;
constexpr int kExtractDone = 1;
constexpr int kExtractStopped = 2;

// 1 when every entry was written, 2 when the host asked to stop, 0 when an entry
// failed or the archive is damaged; then `failure`, when given, says why. Shows
// nothing itself.
int ExtractPatchArchive(std::string_view archivePath, std::string_view destination, IExtractionHost& host,
                        std::string* failure = nullptr);
