#pragma once
// Four releases of a small game and the three patches between them, built with
// the publisher's tools: patch 2 brings loose files, an update pack and a
// delete.lst, patch 3 loose files only, patch 4 an update pack and a delete.lst.
// The installation starts at release 1; the host's document root publishes
// patch 4 as the newest.
#include <string>
#include <vector>

#include "tests/e2e/GameFolder.h"
#include "tests/support/TempFolder.h"

namespace e2e {

class CPatchLadder {
public:
    static constexpr uint32_t kFirst = 1;
    static constexpr uint32_t kLast = 4;

    // `gameRecord` is where the stand-in Game.exe writes its arguments.
    explicit CPatchLadder(const std::string& gameRecord);

    // The release with the given number (1 to 4).
    const GameVersion& Release(uint32_t number) const { return m_releases.at(number - kFirst); }
    // A pristine installation of release 1 with Version.ini at CurrentVersion 1.
    const std::string& Installation() const { return m_installation; }
    // The patch host's document root (velmor/UpdateVersion.ini, velmor/patch/).
    const std::string& HostRoot() const { return m_hostRoot; }

private:
    testsupport::CTempFolder m_work;
    std::vector<GameVersion> m_releases;
    std::string m_installation;
    std::string m_hostRoot;
};

}  // namespace e2e
