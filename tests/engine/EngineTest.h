#pragma once
// What the engine tests share: a fresh working folder, a recording window with
// the surface on it, a worker, and a patch host on loopback.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/HttpPatcher.h"
#include "engine/UpdateSurface.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TempFolder.h"

namespace enginetest {

// Bitmaps of the two bars as the window lays them out.
constexpr int kBarBackground = 194;
constexpr int kFileBarFill = 195;
constexpr int kTotalBarFill = 196;

class CEngineTest : public ::testing::Test {
protected:
    CEngineTest();
    ~CEngineTest() override;

    // Writes a file below the host folder, e.g. "/velmor/UpdateVersion.ini".
    void Publish(const std::string& path, const std::string& content);
    void PublishList(const std::string& content) { Publish("/velmor/UpdateVersion.ini", content); }
    void WriteLocalRecord(const std::string& content);
    std::string StatusText() const { return m_window.Text(kStatusControl); }
    // An executable Game.exe in the working folder that records its arguments.
    void InstallRecordingGame();
    // The arguments the recording game was started with (waits a little for it).
    std::string GameArguments() const;

    testsupport::CTempFolder m_folder{true};
    testsupport::CTempFolder m_hostFolder;
    testsupport::CRecordingWindow m_window;
    CUpdateSurface m_surface{m_window};
    std::unique_ptr<testsupport::CScriptedHttpServer> m_pServer;
    std::unique_ptr<CHttpPatcher> m_pPatcher;
};

// A host name on which nothing answers.
std::string DeadHost();

}  // namespace enginetest
