// `velmor ping`: the launcher's echo-time measurement of one game server.
#include <cstdio>
#include <cstdlib>

#include "launcher/core/Pinger.h"
#include "tools/velmor/Command.h"

namespace {

int RunPing(const std::vector<std::string>& args) {
    if (WantsHelp(args) || args.empty()) {
        std::printf("usage: velmor ping [--count N] HOST\n\n"
                    "Sends ICMP echo requests to HOST the way the launcher measures its game\n"
                    "servers and prints the outcome of the last one: \"N ms\", \"no answer\"\n"
                    "(nothing within a second; the launcher stores 0 then, as for an answer\n"
                    "within the same millisecond) or \"not measured\" (no ICMP socket, or the\n"
                    "name does not resolve). Exit 0 unless not measured.\n");
        return args.empty() ? 1 : 0;
    }
    uint32_t count = 1;
    std::string host;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--count" && i + 1 < args.size()) {
            count = static_cast<uint32_t>(std::strtoul(args[++i].c_str(), nullptr, 10));
        } else {
            host = args[i];
        }
    }
    std::atomic<int64_t> result{-1};
    uint16_t first = CPinger::NextEchoCounter();
    EchoOutcome outcome = CPinger().Ping(count, host, result);
    if (outcome == EchoOutcome::NotMeasured) {
        std::printf("%s: not measured\n", host.c_str());
        return 1;
    }
    std::string shown = outcome == EchoOutcome::NoAnswer ? "no answer" : std::to_string(result.load()) + " ms";
    std::printf("%s: %s (requests %u to %u)\n", host.c_str(), shown.c_str(), first,
                static_cast<unsigned>(CPinger::NextEchoCounter() - 1));
    return 0;
}

CCommandRegistration registration("ping", "measure a game server's echo time as the launcher does", &RunPing);

}  // namespace
