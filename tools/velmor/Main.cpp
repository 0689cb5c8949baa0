#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tools/velmor/Command.h"

namespace {

std::vector<CommandInfo>& Registry() {
    static std::vector<CommandInfo> commands;
    return commands;
}

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: velmor COMMAND [ARGS...]\n\nCommands:\n");
    auto commands = RegisteredCommands();
    std::sort(commands.begin(), commands.end(),
              [](const CommandInfo& a, const CommandInfo& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const CommandInfo& command : commands) std::fprintf(out, "  %-12s %s\n", command.name, command.summary);
    std::fprintf(out, "\n'velmor COMMAND --help' describes one command.\n");
}

}  // namespace

CCommandRegistration::CCommandRegistration(const char* name, const char* summary, CommandFunction run) {
    Registry().push_back({name, summary, run});
}

const std::vector<CommandInfo>& RegisteredCommands() { return Registry(); }

bool WantsHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 1 : 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const CommandInfo& command : RegisteredCommands()) {
        if (std::strcmp(command.name, argv[1]) == 0) return command.run(args);
    }
    std::fprintf(stderr, "velmor: unknown command '%s'\n\n", argv[1]);
    PrintUsage(stderr);
    return 1;
}
