// `velmor mkpack`: packs a folder of game files into a game folder's data.vah/data.vaf.
#include <cstdio>
#include <cstdlib>

#include "tools/publish/PackWriter.h"
#include "tools/velmor/Command.h"

namespace {

int RunMkpack(const std::vector<std::string>& args) {
    std::string from, folder = ".";
    uint32_t stamp = 0;
    bool valid = args.size() % 2 == 0;
    for (size_t i = 0; valid && i + 1 < args.size(); i += 2) {
        if (args[i] == "--from") {
            from = args[i + 1];
        } else if (args[i] == "--folder") {
            folder = args[i + 1];
        } else if (args[i] == "--stamp") {
            stamp = static_cast<uint32_t>(std::strtoul(args[i + 1].c_str(), nullptr, 0));
        } else {
            valid = false;
        }
    }
    if (WantsHelp(args) || !valid || from.empty()) {
        std::fprintf(WantsHelp(args) ? stdout : stderr,
                     "usage: velmor mkpack --from DIR [--folder GAMEDIR] [--stamp N]\n\n"
                     "Writes GAMEDIR/data.vah and GAMEDIR/data.vaf (default: the current folder)\n"
                     "holding every file below DIR under its relative path, for a new\n"
                     "installation. Existing pack files are replaced. Names are stored in GBK,\n"
                     "the game's code page; a name that GBK cannot hold is refused. A symbolic\n"
                     "link to a file inside DIR is packed as that file; other links are refused.\n");
        return WantsHelp(args) ? 0 : 1;
    }
    PackWriteResult result = WritePackFromFolder(from, folder, stamp);
    if (!result.ok) {
        std::fprintf(stderr, "velmor mkpack: %s\n", result.error.c_str());
        return 1;
    }
    for (const std::string& note : result.notes) std::printf("velmor mkpack: %s\n", note.c_str());
    std::printf("%s/data.vah: %zu files\n", folder.c_str(), result.files);
    return 0;
}

CCommandRegistration registration("mkpack", "pack a folder of game files into data.vah/data.vaf", &RunMkpack);

}  // namespace
