#pragma once
// The local version record Version.ini and the recovery marker StartUpdate.
#include <cstdint>
#include <string_view>

constexpr const char* kLocalRecordFile = ".\\Version.ini";
constexpr const char* kVersionSection = "Version";

constexpr const char* kMarkerExtractStart = "EXTRACT_START";
constexpr const char* kMarkerExtractEnd = "EXTRACT_END";
constexpr const char* kMarkerUpdateStart = "UPDATE_START";
constexpr const char* kMarkerUpdateEnd = "UPDATE_END";
constexpr const char* kMarkerFileSizeError = "FILE_SIZE_ERR";

// The patch whose update pack the last merge took in, written as it begins.
// Beside StartUpdate "UPDATE_END" and a CurrentVersion one below it, it says
// that merge went through: that patch's pack must not be merged a second time.
constexpr const char* kMergeVersionKey = "MergeVersion";

// Writes the marker (or the empty value) as StartUpdate of Version.ini.
bool WriteStartUpdate(std::string_view marker);

// A number as atoi reads it: leading blanks, a sign, digits up to the first
// other character; the low 32 bits of the value.
uint32_t ParseRecordNumber(std::string_view text);
