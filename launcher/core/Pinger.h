#pragma once
// One ICMP echo per game server, to show how far each one is.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "launcher/core/ServerConfig.h"

constexpr size_t kEchoRequestSize = 45;
using EchoRequest = std::array<uint8_t, kEchoRequestSize>;

// The Internet checksum over 16-bit little-endian words.
uint16_t Checksum(const uint8_t* data, size_t length);

// How the last attempt went; a stored 0 alone cannot tell an answer within the same
// millisecond from none.
enum class EchoOutcome { NotMeasured, NoAnswer, Answered };

class CPinger {
public:
    // Sends `count` echo requests to `host`; each attempt stores its outcome in
    // `result`: the echo time in milliseconds, 0 without an answer within a second.
    // A host that cannot be resolved, or no socket, leaves `result` untouched.
    EchoOutcome Ping(uint32_t count, const std::string& host, std::atomic<int64_t>& result);

    // Builds the next request (identifier and sequence from the shared counters).
    static EchoRequest BuildEchoRequest(uint32_t sendTime);
    // The shared identifier/sequence counter that the next request will carry.
    static uint16_t NextEchoCounter();
};

// Measures every server of every group once; after each server whose time was
// stored, `redraw` is called (from the probe's thread). `cancelled` ends the walk early.
void LatencyProbeThread(LauncherConfig& config, CPinger& pinger, const std::function<void()>& redraw,
                        const std::atomic<bool>& cancelled);
