#include "launcher/core/Pinger.h"

#include <cstring>
#include <optional>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/IcmpSocket.h"

namespace {

// Identifier and sequence always hold the same value; both start at 1.
std::atomic<uint16_t> g_echoCounter{1};

constexpr size_t kReplyCapacity = 321;
constexpr size_t kSendTimeOffset = 9;
constexpr size_t kIpHeaderSize = 20;
constexpr uint32_t kWaitMilliseconds = 1000;
constexpr uint32_t kPauseAfterReply = 1000;

void PutLittleEndian16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

uint32_t GetLittleEndian32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

// The echo time of the datagram waiting on the socket; nothing when it cannot be
// read or is too short to hold the echoed send time.
std::optional<int64_t> ReadEchoTime(platform::CIcmpSocket& socket) {
    uint8_t reply[kReplyCapacity];
    long received = socket.Receive(reply, sizeof reply);
    size_t offset = (socket.DeliversIpHeader() ? kIpHeaderSize : 0) + kSendTimeOffset;
    if (received < 0 || static_cast<size_t>(received) < offset + 4) return std::nullopt;
    uint32_t elapsed = platform::TickCount() - GetLittleEndian32(reply + offset);
    return static_cast<int64_t>(elapsed);
}

}  // namespace

uint16_t Checksum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8;
    if (i < length) sum += data[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<uint16_t>(~sum);
}

uint16_t CPinger::NextEchoCounter() { return g_echoCounter.load(); }

EchoRequest CPinger::BuildEchoRequest(uint32_t sendTime) {
    EchoRequest request {};
    uint16_t counter = g_echoCounter.fetch_add(1);
    request[0] = 8;
    request[1] = 0;
    PutLittleEndian16(&request[4], counter);
    PutLittleEndian16(&request[6], counter);
    for (int k = 0; k < 4; ++k) request[kSendTimeOffset + k] = static_cast<uint8_t>(sendTime >> (8 * k));
    for (size_t k = 0; k < 32; ++k) request[13 + k] = static_cast<uint8_t>(0x20 + k);
    PutLittleEndian16(&request[2], Checksum(request.data(), request.size()));
    return request;
}

EchoOutcome CPinger::Ping(uint32_t count, const std::string& host, std::atomic<int64_t>& result) {
    platform::CIcmpSocket socket;
    if (!socket.Open()) return EchoOutcome::NotMeasured;
    std::optional<uint32_t> address = platform::ResolveIpv4(host);
    if (!address) return EchoOutcome::NotMeasured;
    EchoOutcome outcome = EchoOutcome::NotMeasured;
    for (uint32_t attempt = 0; attempt < count; ++attempt) {
        EchoRequest request = BuildEchoRequest(platform::TickCount());
        socket.SendTo(request.data(), request.size(), *address);
        platform::CIcmpSocket::WaitResult wait = socket.WaitReadable(kWaitMilliseconds);
        if (wait == platform::CIcmpSocket::WaitResult::Failed) break;
        if (wait == platform::CIcmpSocket::WaitResult::TimedOut) {
            result = 0;
            outcome = EchoOutcome::NoAnswer;
            continue;
        }
        // A reply that cannot be read counts as none.
        std::optional<int64_t> time = ReadEchoTime(socket);
        result = time.value_or(0);
        outcome = time ? EchoOutcome::Answered : EchoOutcome::NoAnswer;
        platform::SleepMilliseconds(kPauseAfterReply);
    }
    return outcome;
}

void LatencyProbeThread(LauncherConfig& config, CPinger& pinger, const std::function<void()>& redraw,
                        const std::atomic<bool>& cancelled) {
    for (ServerGroup& group : config.Groups) {
        for (ServerEntry& server : group.Servers) {
            if (cancelled) return;
            pinger.Ping(1, platform::GbkToUtf8(server.GameAddress), server.PingTime);
            if (server.PingTime != -1 && !cancelled) redraw();
        }
    }
}
