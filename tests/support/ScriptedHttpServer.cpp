#include "tests/support/ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {
namespace {

int ListenOnLoopback(uint16_t& port) {
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) throw std::runtime_error("socket failed");
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 64) != 0) {
        close(listener);
        throw std::runtime_error("bind/listen failed");
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return listener;
}

std::string ReadRequestHeader(int connection) {
    std::string header;
    char buffer[4096];
    while (header.find("\r\n\r\n") == std::string::npos && header.size() < 65536) {
        pollfd ready{connection, POLLIN, 0};
        if (poll(&ready, 1, 5000) <= 0) break;
        ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        header.append(buffer, static_cast<size_t>(n));
    }
    return header;
}

std::string PathOf(const std::string& header) {
    size_t first = header.find(' ');
    size_t second = first == std::string::npos ? first : header.find(' ', first + 1);
    if (second == std::string::npos) return "/";
    return header.substr(first + 1, second - first - 1);
}

}  // namespace

CScriptedHttpServer::CScriptedHttpServer(std::string folder) : m_folder(std::move(folder)) {
    m_listener = ListenOnLoopback(m_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

CScriptedHttpServer::~CScriptedHttpServer() {
    m_bStopping = true;
    if (m_acceptThread.joinable()) m_acceptThread.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread& connection : connections) connection.join();
    close(m_listener);
}

std::string CScriptedHttpServer::Host() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string CScriptedHttpServer::Url(const std::string& path) const {
    return "http://" + Host() + path;
}

void CScriptedHttpServer::SetFault(const std::string& path, HttpFault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[path] = fault;
}

void CScriptedHttpServer::SetContentLengthText(const std::string& path, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lengthTexts[path] = text;
}

void CScriptedHttpServer::SetStatus(const std::string& path, const std::string& status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_statuses[path] = status;
}

std::vector<HttpRequestRecord> CScriptedHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int CScriptedHttpServer::RequestCount(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int count = 0;
    for (const HttpRequestRecord& request : m_requests) count += request.path == path;
    return count;
}

uint16_t CScriptedHttpServer::UnusedPort() {
    int reservation = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (reservation < 0 || bind(reservation, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(reservation, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot reserve a loopback port");
    return ntohs(address.sin_port);  // the descriptor stays open on purpose
}

uint16_t CScriptedHttpServer::FreePort() {
    uint16_t port = 0;
    close(ListenOnLoopback(port));
    return port;
}

void CScriptedHttpServer::AcceptLoop() {
    while (!m_bStopping) {
        pollfd ready{m_listener, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0) continue;
        int connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connections.emplace_back([this, connection] {
            Serve(connection);
            close(connection);
        });
    }
}

bool CScriptedHttpServer::SendAll(int connection, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Stalls end with the server (bounded), so no test hangs on them.
void CScriptedHttpServer::WaitUntilStopped(int seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!m_bStopping && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void CScriptedHttpServer::Serve(int connection) {
    std::string header = ReadRequestHeader(connection);
    std::string path = PathOf(header);
    HttpFault fault = HttpFault::None;
    std::string lengthText;
    bool hasLengthText = false;
    std::string status = "200 OK";
    int earlier = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const HttpRequestRecord& request : m_requests) earlier += request.path == path;
        m_requests.push_back({path, header});
        if (auto found = m_faults.find(path); found != m_faults.end()) fault = found->second;
        if (auto found = m_lengthTexts.find(path); found != m_lengthTexts.end()) {
            lengthText = found->second;
            hasLengthText = true;
        }
        if (auto found = m_statuses.find(path); found != m_statuses.end()) status = found->second;
    }
    if (fault == HttpFault::StallHeader) return WaitUntilStopped(30);
    if (fault == HttpFault::FailAfterFirst && earlier > 0) return;

    if (fault == HttpFault::Delayed) WaitUntilStopped(1);

    std::ifstream file(m_folder + path, std::ios::binary);
    std::string body((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.is_open() || fault == HttpFault::NotFound || (fault == HttpFault::NotFoundAfterFirst && earlier > 0))
        status = "404 Not Found";
    if (status.rfind("200", 0) != 0) body = "<html><body><h1>" + status + "</h1></body></html>\n";
    std::string length = hasLengthText ? lengthText : std::to_string(body.size());
    std::string response = "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
    if (fault == HttpFault::ZeroContentLength) {
        response += "Content-Length: 0\r\n";
        body.clear();
    } else if (fault != HttpFault::NoContentLength) {
        response += "Content-Length: " + length + "\r\n";
    }
    response += "\r\n";
    if (fault == HttpFault::OneByteMore) body += "X";
    if (fault == HttpFault::Truncated || fault == HttpFault::StallBody) body.resize(body.size() / 2);
    if (fault == HttpFault::Trickle) {
        if (!SendAll(connection, response)) return;
        for (size_t offset = 0; offset < body.size() && !m_bStopping; offset += 256) {
            if (!SendAll(connection, body.substr(offset, 256))) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return;
    }
    if (!SendAll(connection, response + body)) return;
    if (fault == HttpFault::StallBody) WaitUntilStopped(30);
}

}  // namespace testsupport
