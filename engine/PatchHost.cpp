#include "engine/PatchHost.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The publisher's patch host; operators point a build elsewhere through the environment.
constexpr const char* kBuiltInPatchHost = "patch.velmor.net";

}  // namespace

std::string DefaultPatchHost() {
    const char* configured = std::getenv("VELMOR_DEFAULT_PATCH_HOST");
    return configured && *configured ? configured : kBuiltInPatchHost;
}

std::string VersionListUrl(const std::string& host) {
    return "http://" + host + "/velmor/UpdateVersion.ini";
}

std::string PatchUrl(const std::string& host, uint32_t patchNumber) {
    return "http://" + host + "/velmor/patch/" + PatchFileName(patchNumber);
}

std::string PatchFileName(uint32_t patchNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "pv%.4u.patch", patchNumber);
    return name;
}

std::string UpdaterUrl(const std::string& host, bool testChannel) {
    return "http://" + host + (testChannel ? "/velmor/test_updater.exe" : "/velmor/new_updater.exe");
}
