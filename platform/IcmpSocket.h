#pragma once
// ICMP echo over IPv4: a raw socket where the process may open one, otherwise an
// unprivileged ICMP datagram socket (which delivers replies without the IP header).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The first IPv4 address of a host name or dotted address, in network order.
std::optional<uint32_t> ResolveIpv4(const std::string& host);

class CIcmpSocket {
public:
    enum class WaitResult { Readable, TimedOut, Failed };

    CIcmpSocket() = default;
    ~CIcmpSocket();
    CIcmpSocket(const CIcmpSocket&) = delete;
    CIcmpSocket& operator=(const CIcmpSocket&) = delete;

    bool Open();
    void Close();
    // Raw sockets hand over the 20-byte IPv4 header in front of the ICMP message.
    bool DeliversIpHeader() const { return m_bRaw; }
    bool SendTo(const void* data, size_t length, uint32_t address);
    WaitResult WaitReadable(uint32_t milliseconds);
    // Bytes of one datagram, or -1.
    long Receive(void* buffer, size_t capacity);

private:
    int m_nSocket = -1;
    bool m_bRaw = false;
};

}  // namespace platform
