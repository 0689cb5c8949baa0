#include "launcher/KestrunApp.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "engine/StringTable.h"
#include "launcher/KestrunDlg.h"
#include "launcher/MyHtmlView.h"
#include "launcher/core/UpdaterLock.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WindowFinder.h"

namespace {

constexpr const char* kBoxCaption = "Velmor Updater";

struct SRefusalRow {
    CKestrunApp::ERefusal Refusal;
    int MessageId;
    const char* Code;
    int ExitCode;
};

constexpr SRefusalRow kRefusals[] = {
    {CKestrunApp::ERefusal::AlreadyRunning, kUpdaterRunningMessage, kUpdaterRunningCode, 1},
    {CKestrunApp::ERefusal::GameRunning, 128, "c02", 2},
    {CKestrunApp::ERefusal::NoDirectX9, 129, "c03", 3},
};

const SRefusalRow* FindRefusal(CKestrunApp::ERefusal refusal) {
    for (const SRefusalRow& row : kRefusals) {
        if (row.Refusal == refusal)
            return &row;
    }
    return nullptr;
}

bool GameWindowOpen() { return platform::FindTopLevelWindow("Velmor", "GAME", "game.exe"); }

// The game draws through its Wine prefix's Direct3D 9; a system folder that cannot
// be named counts as missing.
bool HasDirectX9() {
    std::string system = platform::SystemFolder();
    return !system.empty() && platform::PathExists(system + "\\d3d9.dll");
}

}  // namespace

CKestrunApp::ERefusal CKestrunApp::CheckStartup() {
    // The game folder is the current one.
    if (!TakeUpdaterLock("."))
        return ERefusal::AlreadyRunning;
    if (GameWindowOpen())
        return ERefusal::GameRunning;
    if (!HasDirectX9())
        return ERefusal::NoDirectX9;
    return ERefusal::None;
}

std::string CKestrunApp::RefusalText(ERefusal refusal) {
    const SRefusalRow* row = FindRefusal(refusal);
    return row ? LoadStringText(row->MessageId) + row->Code : std::string();
}

int CKestrunApp::RefusalExitCode(ERefusal refusal) {
    const SRefusalRow* row = FindRefusal(refusal);
    return row ? row->ExitCode : 0;
}

void CKestrunApp::ShowRefusal(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kBoxCaption), QString::fromUtf8(text.c_str()),
                    QMessageBox::Ok);
    box.exec();
}

int CKestrunApp::InitInstance(int argc, char** argv) {
    ERefusal refusal = CheckStartup();
    // The echo probe's sockets need no preparing before they are opened. The web
    // engine's options must be set before the application object exists.
    if (refusal == ERefusal::None)
        CMyHtmlView::PrepareWebEngine();

    QApplication application(argc, argv);
    QApplication::setApplicationName("velmor-launcher");
    QApplication::setApplicationDisplayName("Velmor Updater");
    if (refusal != ERefusal::None) {
        std::string text = RefusalText(refusal);
        // Scripts that start the launcher see why it did not open.
        std::fprintf(stderr, "%s\n", text.c_str());
        ShowRefusal(text);
        return RefusalExitCode(refusal);
    }

    // The window is shown only once it is fully set up; without updater.uif the
    // program ends quietly after its message.
    CKestrunDlg window;
    m_pMainWnd = &window;
    if (window.Initialise())
        window.exec();
    m_pMainWnd = nullptr;
    return 0;
}
