#pragma once
// One installation, one patch host and the update worker over a recording window,
// for the patch-loop tests that need control over each step: the working folder
// is entered while the bench lives, patches are built from files with Info-ZIP zip
// and velmor mkpack, and a run can be repeated on a fresh worker and window as
// the next start of the launcher would.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/HttpPatcher.h"
#include "engine/UpdateSurface.h"
#include "tests/e2e/GameFolder.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TempFolder.h"

namespace e2e {

// What a patch archive carries.
struct PatchContent {
    FileSet loose;                   // written into the game folder as they are
    std::optional<FileSet> update;   // an update pack of these files
    std::optional<std::string> deleteList;
};

// A recording window that can act when the status line shows a text.
class CHookedWindow : public testsupport::CRecordingWindow {
public:
    void SetControlText(int controlId, const std::string& text) override;
    std::function<void(const std::string&)> onStatus;
};

class CPatchBench {
public:
    CPatchBench();
    ~CPatchBench();

    // The game folder with its pack and Version.ini at `currentVersion`.
    void Install(const FileSet& packed, uint32_t currentVersion, const std::string& marker = "");
    void PublishPatch(uint32_t number, const PatchContent& content);
    void PublishList(uint32_t patchFileVersion, uint32_t updaterVersion = 9);
    uint64_t PublishedSize(uint32_t number) const;
    // Any file of the host, e.g. "velmor/new_updater.exe".
    void PublishFile(const std::string& path, const std::string& content);

    // Runs the worker on this thread; the next call starts afresh, as a new launcher.
    bool Run();

    std::string Folder() const { return m_folder.Path(); }
    std::string Status() const { return m_pWindow->Text(kStatusControl); }
    std::string Record(const std::string& key) const { return RecordValue(Folder(), key); }
    // Lets go of the worker's pack object first: only one may exist at a time.
    GameContent Content();
    bool Exists(const std::string& relative) const { return testsupport::Exists(m_folder / relative); }

    CHookedWindow& Window() { return *m_pWindow; }
    CUpdateSurface& Surface() { return *m_pSurface; }
    CHttpPatcher& Patcher() { return *m_pPatcher; }
    testsupport::CScriptedHttpServer& Server() { return *m_pServer; }
    // Command lines the last run started (the game is not really started here).
    const std::vector<std::string>& Started() const { return m_started; }
    // Free space the next runs see; nothing means the real disk's.
    void SetFreeSpace(std::optional<uint64_t> bytes) { m_freeSpace = bytes; }

private:
    void NewLauncher();

    testsupport::CTempFolder m_folder{true};
    testsupport::CTempFolder m_hostFolder;
    testsupport::CTempFolder m_scratch;
    std::unique_ptr<testsupport::CScriptedHttpServer> m_pServer;
    std::unique_ptr<CHookedWindow> m_pWindow;
    std::unique_ptr<CUpdateSurface> m_pSurface;
    std::unique_ptr<CHttpPatcher> m_pPatcher;
    std::vector<std::string> m_started;
    std::optional<uint64_t> m_freeSpace;
    int m_runs = 0;
};

}  // namespace e2e
