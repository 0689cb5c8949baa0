#pragma once
// A key store of its own for one test: the machine store and the user's state
// folder inside a temporary folder, the environment restored afterwards.
#include <optional>
#include <string>

#include "tests/support/TempFolder.h"

namespace testsupport {

class CScopedEnvironment {
public:
    CScopedEnvironment(const char* name, const std::optional<std::string>& value);
    ~CScopedEnvironment();
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

class CTestRegistry {
public:
    CTestRegistry();
    std::string MachineRoot() const { return m_folder / "machine"; }
    std::string StateHome() const { return m_folder / "state"; }
    std::string VirtualRoot() const { return StateHome() + "/velmor/VirtualStore"; }
    const CTempFolder& Folder() const { return m_folder; }

private:
    CTempFolder m_folder;
    CScopedEnvironment m_machine;
    CScopedEnvironment m_state;
};

}  // namespace testsupport
