#pragma once
// A small HTTP server of the test suite on 127.0.0.1 (a free port): serves the
// files of a folder (URL path = path below the folder) and applies per-path
// faults, the odd answers a patch host can give. One request per connection.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

enum class HttpFault {
    None,
    NoContentLength,   // the body, no Content-Length, then close
    ZeroContentLength, // "Content-Length: 0" and no body
    OneByteMore,       // the body and one byte more than announced
    Truncated,         // half the announced body, then close
    StallHeader,       // accepts and sends nothing until the server stops
    StallBody,         // the header and half the body, then nothing
    Trickle,           // the body in small pieces with pauses (a slow host)
    NotFound,          // a 404 error page with its Content-Length
    FailAfterFirst,    // the first request is answered, later ones are cut off
    NotFoundAfterFirst,  // the first request is answered, later ones get the 404 page
    Delayed,           // answered after a pause of a second (a slow host)
};

struct HttpRequestRecord {
    std::string path;
    std::string rawHeader;  // request line and header fields
};

class CScriptedHttpServer {
public:
    explicit CScriptedHttpServer(std::string folder);
    ~CScriptedHttpServer();
    CScriptedHttpServer(const CScriptedHttpServer&) = delete;
    CScriptedHttpServer& operator=(const CScriptedHttpServer&) = delete;

    uint16_t Port() const { return m_port; }
    // "127.0.0.1:port", as a patch host name.
    std::string Host() const;
    std::string Url(const std::string& path) const;

    void SetFault(const std::string& path, HttpFault fault);
    // Sends this text as the Content-Length value instead of the true length.
    void SetContentLengthText(const std::string& path, const std::string& text);
    // Answers the path with this status line ("503 Service Unavailable") and an
    // error page of its own.
    void SetStatus(const std::string& path, const std::string& status);
    std::vector<HttpRequestRecord> Requests() const;
    int RequestCount(const std::string& path) const;

    // A loopback port on which nothing listens (connections are refused). The port
    // stays bound, without listening, for the life of the process, so that no
    // server of a test running at the same time is given it.
    static uint16_t UnusedPort();
    // A loopback port free at the moment, for a server started next.
    static uint16_t FreePort();

private:
    void AcceptLoop();
    void Serve(int connection);
    bool SendAll(int connection, const std::string& bytes);
    void WaitUntilStopped(int seconds);

    std::string m_folder;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_bStopping{false};
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_connections;
    std::map<std::string, HttpFault> m_faults;
    std::map<std::string, std::string> m_lengthTexts;
    std::map<std::string, std::string> m_statuses;
    std::vector<HttpRequestRecord> m_requests;
};

}  // namespace testsupport
