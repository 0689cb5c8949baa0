#include "tests/patcharchive/ZipFixture.h"

#include "tests/support/TempFolder.h"

namespace ziptest {

bool RunPython(const std::string& script, const std::string& arguments) {
    testsupport::CTempFolder folder;
    testsupport::WriteFile(folder / "fixture.py", script);
    return testsupport::RunShell("python3 " + folder.Path() + "/fixture.py " + arguments) == 0;
}

}  // namespace ziptest
