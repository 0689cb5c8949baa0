#pragma once
// The worker's HTTP client over libcurl: GET requests that bypass every cache,
// whose header is waited for when they open and whose body is then pulled in
// pieces through the multi interface, with a connect and a receive timeout.
// Only an answer with a 2xx status is the file asked for (IsFile); anything else
// is the server's word that it has no such file, whatever body it sends.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CHttpRequest;

// A Content-Length value read like atol, but over 64 bits so that files of 2 GiB
// and more have a size; 0 for a negative value or text without digits.
int64_t ParseContentLength(std::string_view text);

class CHttpClient {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 60000;

    CHttpClient();
    // Both timeouts in milliseconds. The environment variable VELMOR_HTTP_TIMEOUT_MS,
    // when set to a positive number, replaces both (tests use short ones).
    void SetTimeouts(uint32_t connectMs, uint32_t receiveMs);
    uint32_t ConnectTimeoutMs() const { return m_connectTimeoutMs; }
    uint32_t ReceiveTimeoutMs() const { return m_receiveTimeoutMs; }

    // Opens a GET request and waits until the answer's header has arrived. On
    // failure returns null and sets `error` to the client's description.
    std::unique_ptr<CHttpRequest> Open(const std::string& url, std::string& error) const;

private:
    uint32_t m_connectTimeoutMs = kDefaultTimeoutMs;
    uint32_t m_receiveTimeoutMs = kDefaultTimeoutMs;
};

class CHttpRequest {
public:
    ~CHttpRequest();
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // The Content-Length header as sent (of the last answer, after redirects).
    bool HasContentLength() const { return m_bHasContentLength; }
    const std::string& ContentLengthText() const { return m_contentLengthText; }
    long StatusCode() const { return m_statusCode; }
    // The answer is the file asked for: its status is 2xx. An error page is not,
    // even with a Content-Length.
    bool IsFile() const { return m_statusCode >= 200 && m_statusCode <= 299; }
    // The announced length read over 64 bits; 0 when absent, empty or negative.
    int64_t ContentLength() const;

    // Reads up to `capacity` body bytes, waiting at most the receive timeout for
    // the first of them. Returns the count (0 at the end of the body), or -1 with
    // `error` set. The body is read until the server ends it, so an answer longer
    // or shorter than its Content-Length shows as such.
    int64_t Read(void* buffer, size_t capacity, std::string& error);
    // The client's code of the last failure (a libcurl code), 0 when none.
    int LastErrorCode() const;

private:
    friend class CHttpClient;
    struct Impl;
    explicit CHttpRequest(std::unique_ptr<Impl> impl);
    bool WaitForHeader(std::string& error);

    std::unique_ptr<Impl> m_pImpl;
    bool m_bHasContentLength = false;
    std::string m_contentLengthText;
    long m_statusCode = 0;
};
