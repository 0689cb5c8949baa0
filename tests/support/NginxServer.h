#pragma once
// A real nginx (the Debian package) serving a folder on a free 127.0.0.1 port,
// with a configuration generated into a folder of its own; stopped when the
// object goes.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tests/support/TempFolder.h"

namespace testsupport {

class CNginxServer {
public:
    // Throws when nginx cannot be started or does not answer within a few seconds.
    explicit CNginxServer(const std::string& rootFolder);
    ~CNginxServer();
    CNginxServer(const CNginxServer&) = delete;
    CNginxServer& operator=(const CNginxServer&) = delete;

    uint16_t Port() const { return m_port; }
    std::string Host() const;
    static bool IsAvailable();

private:
    CTempFolder m_prefix;
    uint16_t m_port = 0;
    pid_t m_pid = -1;
};

}  // namespace testsupport
