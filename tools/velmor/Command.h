#pragma once
// Subcommands of `velmor` register themselves here, one file each.
#include <string>
#include <vector>

using CommandFunction = int (*)(const std::vector<std::string>& args);

struct CommandInfo {
    const char* name;
    const char* summary;
    CommandFunction run;
};

class CCommandRegistration {
public:
    CCommandRegistration(const char* name, const char* summary, CommandFunction run);
};

const std::vector<CommandInfo>& RegisteredCommands();

// True when one of the arguments asks for help.
bool WantsHelp(const std::vector<std::string>& args);
