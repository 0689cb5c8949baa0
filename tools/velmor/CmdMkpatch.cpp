// `velmor mkpatch`: publishes the difference between two installations as the next patch.
#include <cstdio>
#include <cstdlib>

#include "tools/publish/PatchBuilder.h"
#include "tools/velmor/Command.h"

namespace {

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: velmor mkpatch --old DIR --new DIR --number N --out ROOT\n\n"
                 "Compares two game folders (the installation before and after the patch) and\n"
                 "writes ROOT/velmor/patch/pvNNNN.patch for the patch host whose document root\n"
                 "is ROOT: the loose files that are new or changed, an update pack\n"
                 "(update.vah/update.vaf) with the pack entries that are new or changed, and a\n"
                 "delete.lst for the pack entries that are gone. Then ROOT/velmor/UpdateVersion.ini\n"
                 "publishes patch N (a new list gets CheckVersion 2 and UpdaterVersion 9).\n"
                 "Version.ini, updater.uif and the launcher are never put into a patch.\n");
}

int RunMkpatch(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        PrintUsage(stdout);
        return 0;
    }
    PatchBuildRequest request;
    bool numbered = false;
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string& option = args[i];
        const std::string& value = args[i + 1];
        if (option == "--old") {
            request.oldFolder = value;
        } else if (option == "--new") {
            request.newFolder = value;
        } else if (option == "--out") {
            request.outRoot = value;
        } else if (option == "--number") {
            char* end = nullptr;
            unsigned long number = std::strtoul(value.c_str(), &end, 10);
            numbered = end && *end == '\0' && number >= 1 && number <= 0xFFFFFFFFul && value[0] != '-';
            request.number = static_cast<uint32_t>(number);
        } else {
            std::fprintf(stderr, "velmor mkpatch: unknown option %s\n", option.c_str());
            return 1;
        }
    }
    if (args.size() % 2 != 0 || request.oldFolder.empty() || request.newFolder.empty() || request.outRoot.empty() ||
        !numbered) {
        PrintUsage(stderr);
        return 1;
    }
    PatchBuildResult result = BuildPatch(request);
    for (const std::string& warning : result.warnings) std::fprintf(stderr, "warning: %s\n", warning.c_str());
    std::string error = result.error;
    if (!result.ok || !PublishPatchNumber(request.outRoot, request.number, error)) {
        std::fprintf(stderr, "velmor mkpatch: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu loose files, %zu pack files, %zu pack files deleted\n", result.archivePath.c_str(),
                result.looseFiles.size(), result.packFiles, result.deletedPackFiles);
    return 0;
}

CCommandRegistration registration("mkpatch", "build the next patch from an old and a new game folder", &RunMkpatch);

}  // namespace
