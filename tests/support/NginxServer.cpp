#include "tests/support/NginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/ScriptedHttpServer.h"

namespace testsupport {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";

bool Answers(uint16_t port) {
    int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool connected = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return connected;
}

std::string Configuration(const std::string& prefix, const std::string& root, uint16_t port) {
    std::string user = geteuid() == 0 ? "user root;\n" : "";
    return user + "daemon off;\nmaster_process on;\nworker_processes 1;\npid " + prefix + "/nginx.pid;\n" +
           "error_log " + prefix + "/error.log;\nevents { worker_connections 64; }\nhttp {\n" +
           "  access_log off;\n  sendfile on;\n  default_type application/octet-stream;\n" +
           "  client_body_temp_path " + prefix + "/body;\n  proxy_temp_path " + prefix + "/proxy;\n" +
           "  fastcgi_temp_path " + prefix + "/fastcgi;\n  uwsgi_temp_path " + prefix + "/uwsgi;\n" +
           "  scgi_temp_path " + prefix + "/scgi;\n" + "  server {\n    listen 127.0.0.1:" + std::to_string(port) +
           ";\n    root " + root + ";\n  }\n}\n";
}

}  // namespace

bool CNginxServer::IsAvailable() {
    return access(kNginx, X_OK) == 0;
}

CNginxServer::CNginxServer(const std::string& rootFolder) {
    // A port is taken, freed and given to nginx; should another process grab it in
    // between, the next one is tried.
    for (int attempt = 0; attempt < 5 && m_pid < 0; ++attempt) {
        m_port = CScriptedHttpServer::FreePort();
        std::string config = m_prefix / "nginx.conf";
        WriteFile(config, Configuration(m_prefix.Path(), rootFolder, m_port));
        pid_t child = fork();
        if (child < 0) throw std::runtime_error("fork failed");
        if (child == 0) {
            execl(kNginx, kNginx, "-p", m_prefix.Path().c_str(), "-c", config.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Answers(m_port)) {
                m_pid = child;
                break;
            }
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (m_pid < 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }
    if (m_pid < 0) {
        std::string log = Exists(m_prefix / "error.log") ? ReadFile(m_prefix / "error.log") : "";
        throw std::runtime_error("nginx did not start: " + log);
    }
}

CNginxServer::~CNginxServer() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

std::string CNginxServer::Host() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

}  // namespace testsupport
