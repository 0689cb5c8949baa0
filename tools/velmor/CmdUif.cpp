// `velmor uif`: updater.uif as an editable text, and back.
#include <cstdio>

#include "launcher/core/UifText.h"
#include "platform/FileSystem.h"
#include "tools/velmor/Command.h"

namespace {

constexpr int kExitTruncated = 2;

std::string Count(size_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

void PrintHelp() {
    std::printf(
        "usage: velmor uif dump FILE\n"
        "       velmor uif build TEXT FILE\n\n"
        "dump prints the server groups, servers and links of the launcher's updater.uif\n"
        "FILE as text; build writes FILE from such a text (atomically), so that the\n"
        "server list can be edited without a hex editor. dump of a built file gives the\n"
        "same text back.\n\n"
        "The text has one setting a line; indentation, blank lines and lines starting\n"
        "with '#' carry no meaning:\n\n"
        "  magic: yes                  yes: servers carry a game address, and the game\n"
        "                              is started with it; no: the older layout\n"
        "  header-value: 0             only with the magic; kept, not used\n"
        "  group: NAME                 a tab of the group strip\n"
        "    server: NAME              a row of the server list of that group\n"
        "      patch-host: HOST        where the server's patches are published\n"
        "      game-address: ADDRESS   only with the magic\n"
        "  link: URL                   in order: large news page, small news page,\n"
        "                              then the six link buttons\n\n"
        "The text is UTF-8; updater.uif holds its texts in GBK, the game's code page:\n"
        "build converts them and refuses a text that GBK cannot hold, dump converts\n"
        "back and writes a byte that is no GBK character as \\xHH, which build writes\n"
        "back as that byte. Names hold at most 255 bytes in GBK, hosts, addresses and\n"
        "links 1023. A value with blanks at either end, a leading '\"', control\n"
        "characters or such bytes is written in double quotes with the escapes\n"
        "\\\" \\\\ \\t \\n \\r \\xHH.\n\n"
        "Exit status: 0 done; 1 error; 2 (dump) the file ends early: what it holds up\n"
        "to there is printed, and a warning says where it ends.\n");
}

int Dump(const std::string& path) {
    if (!platform::RegularFileExists(path)) {
        std::fprintf(stderr, "velmor uif: %s: no such file\n", path.c_str());
        return 1;
    }
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes) {
        std::fprintf(stderr, "velmor uif: %s: cannot be read\n", path.c_str());
        return 1;
    }
    UifContent content = ReadUifFile(*bytes);
    std::string text = FormatUifText(content);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (content.TrailingBytes) {
        std::fprintf(stderr, "velmor uif: %s: %zu bytes after the last link are not read\n", path.c_str(),
                     content.TrailingBytes);
    }
    if (!content.Truncation.empty()) {
        std::fprintf(stderr, "velmor uif: %s: warning: %s; the launcher keeps what comes before\n",
                     path.c_str(), content.Truncation.c_str());
        return kExitTruncated;
    }
    return 0;
}

int Build(const std::string& textPath, const std::string& path) {
    std::optional<std::string> text =
        platform::RegularFileExists(textPath) ? platform::ReadWholeFile(textPath) : std::nullopt;
    if (!text) {
        std::fprintf(stderr, "velmor uif: %s: cannot be read\n", textPath.c_str());
        return 1;
    }
    UifContent content;
    std::string error;
    std::string bytes;
    if (!ParseUifText(*text, content, error) || !WriteUifFile(content, bytes, error)) {
        std::fprintf(stderr, "velmor uif: %s: %s\n", textPath.c_str(), error.c_str());
        return 1;
    }
    if (!platform::WriteFileAtomically(path, bytes)) {
        std::fprintf(stderr, "velmor uif: %s: cannot be written\n", path.c_str());
        return 1;
    }
    size_t servers = 0;
    for (const ServerGroup& group : content.Groups) servers += group.Servers.size();
    std::printf("%s: %s, %s, %s, %s the magic\n", path.c_str(), Count(content.Groups.size(), "group").c_str(),
                Count(servers, "server").c_str(), Count(content.Links.size(), "link").c_str(),
                content.HasMagic ? "with" : "without");
    return 0;
}

int RunUif(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        PrintHelp();
        return 0;
    }
    if (args.size() == 2 && args[0] == "dump") return Dump(args[1]);
    if (args.size() == 3 && args[0] == "build") return Build(args[1], args[2]);
    std::fprintf(stderr, "usage: velmor uif dump FILE | velmor uif build TEXT FILE (see velmor uif --help)\n");
    return 1;
}

CCommandRegistration registration("uif", "show or write the launcher's server list updater.uif", &RunUif);

}  // namespace
