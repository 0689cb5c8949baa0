#include "engine/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace {

constexpr const char* kUserAgent = "Velmor Updater";
// Bytes libcurl reads from the socket at once; the caller still takes 2048 at a time.
constexpr long kSocketReadSize = 512 * 1024;
constexpr long kMaxRedirects = 10;

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string_view TrimLine(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

uint32_t TimeoutFromEnvironment(uint32_t fallback) {
    const char* text = std::getenv("VELMOR_HTTP_TIMEOUT_MS");
    if (!text || !*text) return fallback;
    long value = std::strtol(text, nullptr, 10);
    return value > 0 ? static_cast<uint32_t>(value) : fallback;
}

}  // namespace

struct CHttpRequest::Impl {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    uint32_t receiveTimeoutMs = CHttpClient::kDefaultTimeoutMs;

    // Body bytes received and not yet read: a socket read's worth, or one larger
    // piece. A fast server would otherwise have many socket reads delivered
    // within one pump, and the buffer would grow to megabytes.
    std::vector<char> pending;
    size_t pendingOffset = 0;
    int64_t bodyBytesRead = 0;
    bool bProgress = false;
    // A piece did not fit beside unread bytes; libcurl holds it and stops
    // reading until it is resumed.
    bool bPaused = false;

    bool bDone = false;
    CURLcode result = CURLE_OK;
    int lastErrorCode = 0;

    // The header of the answer being received (a redirect starts another).
    bool bHeaderComplete = false;
    bool bHasContentLength = false;
    bool bHasLocation = false;
    std::string contentLength;
    long statusCode = 0;

    ~Impl() {
        if (multi && easy) curl_multi_remove_handle(multi, easy);
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        curl_slist_free_all(headers);
    }

    size_t PendingCount() const { return pending.size() - pendingOffset; }

    static size_t OnBody(char* data, size_t size, size_t count, void* self) {
        auto* impl = static_cast<Impl*>(self);
        size_t bytes = size * count;
        if (impl->PendingCount() == 0) {
            impl->pending.clear();
            impl->pendingOffset = 0;
        } else if (impl->pending.size() + bytes > static_cast<size_t>(kSocketReadSize)) {
            impl->bPaused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        impl->pending.insert(impl->pending.end(), data, data + bytes);
        impl->bProgress = true;
        // Body bytes can only follow a finished header.
        impl->bHeaderComplete = true;
        return bytes;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
        auto* impl = static_cast<Impl*>(self);
        size_t bytes = size * count;
        impl->TakeHeaderLine(std::string_view(data, bytes));
        impl->bProgress = true;
        return bytes;
    }

    void TakeHeaderLine(std::string_view line) {
        std::string_view text = TrimLine(line);
        if (StartsWithNoCase(text, "HTTP/")) {
            bHasContentLength = bHasLocation = false;
            contentLength.clear();
            size_t blank = text.find(' ');
            statusCode = blank == std::string_view::npos ? 0 : std::atol(std::string(text.substr(blank + 1, 3)).c_str());
        } else if (StartsWithNoCase(text, "Content-Length:")) {
            bHasContentLength = true;
            contentLength = std::string(TrimLine(text.substr(15)));
        } else if (StartsWithNoCase(text, "Location:")) {
            bHasLocation = true;
        } else if (text.empty()) {
            // The end of a header block: interim answers and followed redirects
            // are not the file's header.
            bool interim = statusCode >= 100 && statusCode < 200;
            bool redirect = statusCode >= 300 && statusCode < 400 && bHasLocation;
            if (!interim && !redirect) bHeaderComplete = true;
        }
    }

    // Hands libcurl's held piece over once the previous one has been read.
    bool Resume(std::string& error) {
        bPaused = false;
        CURLcode code = curl_easy_pause(easy, CURLPAUSE_CONT);
        if (code == CURLE_OK) return true;
        error = curl_easy_strerror(code);
        lastErrorCode = code;
        return false;
    }

    void CollectEnd() {
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                bDone = true;
                result = message->data.result;
            }
        }
    }

    std::string ErrorText() const {
        if (errorBuffer[0]) return TrimLine(errorBuffer).empty() ? curl_easy_strerror(result) : errorBuffer;
        return curl_easy_strerror(result);
    }

    // Pumps libcurl until `ready` holds or the answer ended; false when nothing
    // arrived for the receive timeout.
    template <typename Ready>
    bool PumpUntil(Ready ready, std::string& error) {
        const int64_t frequency = platform::PerformanceFrequency();
        int64_t lastProgress = platform::PerformanceCounter();
        for (;;) {
            bProgress = false;
            int running = 0;
            CURLMcode code = curl_multi_perform(multi, &running);
            if (code != CURLM_OK) {
                error = curl_multi_strerror(code);
                lastErrorCode = CURLE_RECV_ERROR;
                return false;
            }
            CollectEnd();
            if (ready() || bDone) return true;
            int64_t now = platform::PerformanceCounter();
            if (bProgress) lastProgress = now;
            int64_t waitedMs = (now - lastProgress) * 1000 / frequency;
            if (waitedMs >= receiveTimeoutMs) {
                error = "Operation timed out after " + std::to_string(waitedMs) +
                        " milliseconds with no data received";
                lastErrorCode = CURLE_OPERATION_TIMEDOUT;
                return false;
            }
            int waitMs = static_cast<int>(std::min<int64_t>(receiveTimeoutMs - waitedMs, 1000));
            code = curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
            if (code != CURLM_OK) {
                error = curl_multi_strerror(code);
                lastErrorCode = CURLE_RECV_ERROR;
                return false;
            }
        }
    }
};

CHttpClient::CHttpClient() {
    InitialiseCurlOnce();
    SetTimeouts(kDefaultTimeoutMs, kDefaultTimeoutMs);
}

void CHttpClient::SetTimeouts(uint32_t connectMs, uint32_t receiveMs) {
    m_connectTimeoutMs = TimeoutFromEnvironment(connectMs);
    m_receiveTimeoutMs = TimeoutFromEnvironment(receiveMs);
}

namespace {

// "http:///velmor/..." (an empty patch host) would otherwise be read as a request
// to the host "velmor".
bool NamesNoHost(const std::string& url) {
    size_t scheme = url.find("://");
    return scheme != std::string::npos && (scheme + 3 == url.size() || url[scheme + 3] == '/');
}

}  // namespace

std::unique_ptr<CHttpRequest> CHttpClient::Open(const std::string& url, std::string& error) const {
    if (NamesNoHost(url)) {
        error = "The URL names no host: " + url;
        return nullptr;
    }
    auto impl = std::make_unique<CHttpRequest::Impl>();
    impl->receiveTimeoutMs = m_receiveTimeoutMs;
    impl->multi = curl_multi_init();
    impl->easy = curl_easy_init();
    if (!impl->multi || !impl->easy) {
        error = "The HTTP client could not be initialised";
        return nullptr;
    }
    // Always fetched from the host and never kept by a cache on the way. The body
    // is read until the server closes the connection, so that an answer longer or
    // shorter than announced is seen as it is.
    for (const char* header : {"Cache-Control: no-cache", "Pragma: no-cache", "Connection: close"})
        impl->headers = curl_slist_append(impl->headers, header);
    CURL* easy = impl->easy;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, impl->headers);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kSocketReadSize);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, impl->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CHttpRequest::Impl::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, impl.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CHttpRequest::Impl::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, impl.get());
    if (curl_multi_add_handle(impl->multi, easy) != CURLM_OK) {
        error = "The HTTP client could not start the request";
        return nullptr;
    }
    std::unique_ptr<CHttpRequest> request(new CHttpRequest(std::move(impl)));
    if (!request->WaitForHeader(error)) return nullptr;
    return request;
}

CHttpRequest::CHttpRequest(std::unique_ptr<Impl> impl) : m_pImpl(std::move(impl)) {}

CHttpRequest::~CHttpRequest() = default;

bool CHttpRequest::WaitForHeader(std::string& error) {
    Impl& impl = *m_pImpl;
    if (!impl.PumpUntil([&impl] { return impl.bHeaderComplete; }, error)) return false;
    if (impl.bDone && impl.result != CURLE_OK) {
        error = impl.ErrorText();
        return false;
    }
    m_bHasContentLength = impl.bHasContentLength && !impl.contentLength.empty();
    m_contentLengthText = impl.contentLength;
    m_statusCode = impl.statusCode;
    return true;
}

int64_t ParseContentLength(std::string_view text) {
    text = TrimLine(text);
    bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        if (value > (INT64_MAX - (c - '0')) / 10) return negative ? 0 : INT64_MAX;
        value = value * 10 + (c - '0');
    }
    return negative ? 0 : value;
}

int64_t CHttpRequest::ContentLength() const {
    return m_bHasContentLength ? ParseContentLength(m_contentLengthText) : 0;
}

int64_t CHttpRequest::Read(void* buffer, size_t capacity, std::string& error) {
    Impl& impl = *m_pImpl;
    if (impl.PendingCount() == 0 && impl.bPaused && !impl.Resume(error)) return -1;
    if (impl.PendingCount() == 0 && !impl.bDone) {
        if (!impl.PumpUntil([&impl] { return impl.PendingCount() > 0; }, error)) return -1;
    }
    size_t count = std::min(capacity, impl.PendingCount());
    if (count > 0) {
        std::memcpy(buffer, impl.pending.data() + impl.pendingOffset, count);
        impl.pendingOffset += count;
        impl.bodyBytesRead += static_cast<int64_t>(count);
        return static_cast<int64_t>(count);
    }
    if (impl.result != CURLE_OK) {
        error = impl.ErrorText();
        impl.lastErrorCode = impl.result;
        return -1;
    }
    int64_t announced = ContentLength();
    if (m_bHasContentLength && impl.bodyBytesRead < announced) {
        error = "The server closed the connection after " + std::to_string(impl.bodyBytesRead) + " of " +
                std::to_string(announced) + " bytes";
        impl.lastErrorCode = CURLE_PARTIAL_FILE;
        return -1;
    }
    return 0;
}

int CHttpRequest::LastErrorCode() const {
    return m_pImpl->lastErrorCode;
}
