#pragma once
// The URLs and local names of what a patch host serves.
#include <cstdint>
#include <string>

// The built-in patch host, used when the chosen server's host does not give the
// published list. VELMOR_DEFAULT_PATCH_HOST replaces it (operators and tests).
std::string DefaultPatchHost();

std::string VersionListUrl(const std::string& host);
std::string PatchUrl(const std::string& host, uint32_t patchNumber);
// "pv%.4u.patch": at least four digits, zero-filled.
std::string PatchFileName(uint32_t patchNumber);
std::string UpdaterUrl(const std::string& host, bool testChannel);

constexpr const char* kVersionListFile = "UpdateVersion.ini";
constexpr const char* kTestChannelFile = "UpdateVersion-qrx-.ini";
constexpr const char* kNewUpdaterFile = "new_updater.exe";
