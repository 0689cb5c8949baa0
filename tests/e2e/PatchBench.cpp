#include "tests/e2e/PatchBench.h"

#include <filesystem>
#include <stdexcept>

#include "engine/PatchHost.h"
#include "engine/SharedState.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

constexpr int kBarBackground = 194;
constexpr int kFileBarFill = 195;
constexpr int kTotalBarFill = 196;

void Shell(const std::string& command) {
    CommandResult result = RunCommand(command);
    if (result.status != 0) throw std::runtime_error(command + " failed: " + result.output);
}

}  // namespace

void CHookedWindow::SetControlText(int controlId, const std::string& text) {
    CRecordingWindow::SetControlText(controlId, text);
    if (controlId == kStatusControl && onStatus) onStatus(text);
}

CPatchBench::CPatchBench() {
    m_pServer = std::make_unique<testsupport::CScriptedHttpServer>(m_hostFolder.Path());
    WorkingFolder = m_folder.Path();
    NewLauncher();
}

CPatchBench::~CPatchBench() {
    m_pPatcher.reset();
    m_pServer.reset();
    WorkingFolder.clear();
}

void CPatchBench::NewLauncher() {
    m_pPatcher.reset();
    m_pSurface.reset();
    m_started.clear();
    m_pWindow = std::make_unique<CHookedWindow>();
    m_pSurface = std::make_unique<CUpdateSurface>(*m_pWindow);
    m_pSurface->FileProgressBar().Setup(20, 483, kBarBackground, kFileBarFill);
    m_pSurface->TotalProgressBar().Setup(20, 495, kBarBackground, kTotalBarFill);
    m_pSurface->SetProgramRunner([this](const std::string& commandLine) {
        m_started.push_back(commandLine);
        return platform::ProgramStart{};
    });
    m_pPatcher = std::make_unique<CHttpPatcher>(*m_pSurface);
    SetSharedText(CurrentPatchHost, m_pServer->Host());
    SetSharedText(CurrentGameAddress, "10.0.0.7:7100");
    HasUifMagic = true;
}

void CPatchBench::Install(const FileSet& packed, uint32_t currentVersion, const std::string& marker) {
    MakeGameFolder(Folder(), GameVersion{packed, {}}, m_scratch / "installed");
    WriteLocalRecord(Folder(), currentVersion, marker);
}

void CPatchBench::PublishPatch(uint32_t number, const PatchContent& content) {
    std::string stage = m_scratch / ("stage" + std::to_string(number));
    fs::remove_all(stage);
    fs::create_directories(stage);
    for (const auto& [path, bytes] : content.loose) testsupport::WriteFile(stage + "/" + path, bytes);
    if (content.update) {
        std::string packFolder = m_scratch / "update-pack";
        MakeGameFolder(packFolder, GameVersion{*content.update, {}}, m_scratch / "update-source");
        fs::rename(packFolder + "/data.vah", stage + "/update.vah");
        fs::rename(packFolder + "/data.vaf", stage + "/update.vaf");
    }
    if (content.deleteList) testsupport::WriteFile(stage + "/delete.lst", *content.deleteList);
    std::string archive = m_hostFolder.Path() + "/velmor/patch/" + PatchFileName(number);
    fs::create_directories(fs::path(archive).parent_path());
    fs::remove(archive);
    Shell("cd '" + stage + "' && zip -q -r -X '" + archive + "' .");
}

void CPatchBench::PublishList(uint32_t patchFileVersion, uint32_t updaterVersion) {
    testsupport::WriteFile(m_hostFolder / "velmor/UpdateVersion.ini",
                           "[Version]\r\nCheckVersion=2\r\nUpdaterVersion=" + std::to_string(updaterVersion) +
                               "\r\nPatchFileVersion=" + std::to_string(patchFileVersion) + "\r\n");
}

void CPatchBench::PublishFile(const std::string& path, const std::string& content) {
    testsupport::WriteFile(m_hostFolder / path, content);
}

uint64_t CPatchBench::PublishedSize(uint32_t number) const {
    return fs::file_size(m_hostFolder.Path() + "/velmor/patch/" + PatchFileName(number));
}

GameContent CPatchBench::Content() {
    m_pPatcher->m_pPackUpdater.reset();
    return ReadGameContent(Folder());
}

bool CPatchBench::Run() {
    if (m_runs++ > 0) NewLauncher();
    if (m_freeSpace) {
        uint64_t bytes = *m_freeSpace;
        m_pSurface->SetFreeSpaceQuery([bytes] { return std::optional<uint64_t>(bytes); });
    }
    return m_pPatcher->Run();
}

}  // namespace e2e
