#include "tests/launcher/TestRegistry.h"

#include <cstdlib>

namespace testsupport {

CScopedEnvironment::CScopedEnvironment(const char* name, const std::optional<std::string>& value) : m_name(name) {
    if (const char* previous = std::getenv(name)) m_previous = previous;
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

CScopedEnvironment::~CScopedEnvironment() {
    if (m_previous) {
        setenv(m_name.c_str(), m_previous->c_str(), 1);
    } else {
        unsetenv(m_name.c_str());
    }
}

CTestRegistry::CTestRegistry()
    : m_machine("VELMOR_REGISTRY_ROOT", m_folder / "machine"), m_state("XDG_STATE_HOME", m_folder / "state") {}

}  // namespace testsupport
