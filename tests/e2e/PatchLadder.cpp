#include "tests/e2e/PatchLadder.h"

#include <stdexcept>

namespace e2e {
namespace {

std::vector<GameVersion> BuildReleases(const std::string& gameRecord) {
    GameVersion first;
    first.packed = {
        {"maps/a.bin", NoiseBytes(1000, 1)},
        {"maps/b.bin", NoiseBytes(5000, 2)},
        {"textures/t1.dds", NoiseBytes(20000, 3)},
        {"sound/s.wav", NoiseBytes(30000, 4)},
        {"data/empty.bin", ""},
        {"maps/deep/x/y/z.bin", "deep file of release 1"},
    };
    first.loose = {
        {"Game.exe", RecordingGameScript(gameRecord)},
        {"docs/readme.txt", "release 1\r\n"},
        {"config/options.cfg", "quality=low\n"},
    };

    // Smaller and larger replacements, new files, names in Chinese, a file larger
    // than one copy of the merge (it compresses well, so the archive stays small),
    // an entry gone (a delete.lst before the last patch); new loose files.
    GameVersion second = first;
    std::string block = NoiseBytes(1000, 13);
    std::string large;
    while (large.size() < 600000) large += block;
    second.packed["textures/sky.dds"] = large;
    second.packed.erase("maps/deep/x/y/z.bin");
    second.packed["maps/a.bin"] = NoiseBytes(800, 5);
    second.packed["textures/t1.dds"] = NoiseBytes(25000, 6);
    second.packed["maps/c.bin"] = NoiseBytes(3000, 7);
    second.packed["maps/新地图.bin"] = NoiseBytes(700, 8);
    second.loose["docs/readme.txt"] = "release 2\r\n";
    second.loose["bin/tool.dll"] = NoiseBytes(100000, 9);
    second.loose["docs/说明.txt"] = "第二版\r\n";

    // Loose files only: the pack stays as it is.
    GameVersion third = second;
    third.loose["config/options.cfg"] = "quality=high\n";
    third.loose["movies/intro.bik"] = NoiseBytes(150000, 10);

    // Pack entries gone (delete.lst), one changed, one new.
    GameVersion fourth = third;
    fourth.packed.erase("maps/b.bin");
    fourth.packed.erase("sound/s.wav");
    fourth.packed["maps/c.bin"] = NoiseBytes(4000, 11);
    fourth.packed["sound/new.wav"] = NoiseBytes(2000, 12);
    fourth.loose["docs/readme.txt"] = "release 4\r\n";
    return {first, second, third, fourth};
}

}  // namespace

CPatchLadder::CPatchLadder(const std::string& gameRecord) : m_releases(BuildReleases(gameRecord)) {
    m_hostRoot = m_work / "host";
    std::vector<std::string> folders;
    for (uint32_t number = kFirst; number <= kLast; ++number) {
        std::string folder = m_work / ("release" + std::to_string(number));
        MakeGameFolder(folder, Release(number), m_work / "scratch");
        folders.push_back(folder);
    }
    for (uint32_t number = kFirst + 1; number <= kLast; ++number) {
        CommandResult built = RunCommand(Velmor() + " mkpatch --old " + folders[number - kFirst - 1] + " --new " +
                                         folders[number - kFirst] + " --number " + std::to_string(number) +
                                         " --out " + m_hostRoot);
        if (built.status != 0) throw std::runtime_error("velmor mkpatch failed: " + built.output);
    }
    m_installation = m_work / "installation";
    CopyFolder(folders.front(), m_installation);
    WriteLocalRecord(m_installation, kFirst);
}

}  // namespace e2e
