#include "platform/IcmpSocket.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

std::optional<uint32_t> ResolveIpv4(const std::string& host) {
    addrinfo hints {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    uint32_t address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return address;
}

CIcmpSocket::~CIcmpSocket() { Close(); }

bool CIcmpSocket::Open() {
    Close();
    m_nSocket = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    m_bRaw = m_nSocket >= 0;
    if (m_bRaw) {
        // A raw socket also sees the requests themselves (on loopback) and every other
        // ICMP message; only echo replies can answer a request.
        icmp_filter filter {};
        filter.data = ~(1u << ICMP_ECHOREPLY);
        setsockopt(m_nSocket, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    } else {
        m_nSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    }
    return m_nSocket >= 0;
}

void CIcmpSocket::Close() {
    if (m_nSocket >= 0) close(m_nSocket);
    m_nSocket = -1;
}

bool CIcmpSocket::SendTo(const void* data, size_t length, uint32_t address) {
    sockaddr_in target {};
    target.sin_family = AF_INET;
    target.sin_port = 0;
    target.sin_addr.s_addr = address;
    return sendto(m_nSocket, data, length, 0, reinterpret_cast<sockaddr*>(&target), sizeof target) ==
           static_cast<ssize_t>(length);
}

CIcmpSocket::WaitResult CIcmpSocket::WaitReadable(uint32_t milliseconds) {
    if (m_nSocket < 0 || m_nSocket >= FD_SETSIZE) return WaitResult::Failed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(m_nSocket, &readable);
    timeval timeout {static_cast<time_t>(milliseconds / 1000), static_cast<suseconds_t>(milliseconds % 1000) * 1000};
    int ready = select(m_nSocket + 1, &readable, nullptr, nullptr, &timeout);
    if (ready < 0) return WaitResult::Failed;
    return ready == 0 ? WaitResult::TimedOut : WaitResult::Readable;
}

long CIcmpSocket::Receive(void* buffer, size_t capacity) {
    ssize_t n;
    do {
        n = recvfrom(m_nSocket, buffer, capacity, 0, nullptr, nullptr);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

}  // namespace platform
