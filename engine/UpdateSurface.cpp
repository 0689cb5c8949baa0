#include "engine/UpdateSurface.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "engine/HttpPatcher.h"
#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace {

// Cuts a text to fit the status buffer without splitting a UTF-8 character.
std::string FitStatusBuffer(std::string_view text) {
    if (text.size() < kStatusBufferSize) return std::string(text);
    size_t length = kStatusBufferSize - 1;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    return std::string(text.substr(0, length));
}

// "无法启动 Game.exe: 找不到文件.c48": the program and why it did not start.
std::string StartFailureText(const std::string& commandLine, const platform::ProgramStart& start) {
    std::vector<std::string> args = platform::SplitCommandLine(commandLine);
    std::string reason;
    switch (start.Error) {
        case platform::ProgramStartError::NotFound: reason = LoadStringText(125); break;
        case platform::ProgramStartError::NeedsWine: reason = "这是 Windows 程序, 需要安装 wine."; break;
        default: reason = std::string(std::strerror(start.SystemError)) + "."; break;
    }
    return "无法启动 " + (args.empty() ? commandLine : args[0]) + ": " + reason + "c48";
}

}  // namespace

CUpdateSurface::CUpdateSurface(IWindowPrimitives& window)
    : m_window(window), m_freeSpaceQuery([] { return platform::FreeDiskSpace("."); }) {
    m_fileProgressBar.AttachWindow(&m_window);
    m_totalProgressBar.AttachWindow(&m_window);
}

bool CUpdateSurface::ShowsTransferCounters() const {
    return m_pWorker && (m_pWorker->m_bPatchMode || m_pWorker->m_bUpdaterOutdated);
}

void CUpdateSurface::SetStatusText(const std::string& text) {
    m_window.SetControlText(kStatusControl, text);
}

void CUpdateSurface::ShowStatusError(std::string_view text) {
    m_statusBuffer = FitStatusBuffer(text);
    m_window.SetControlText(kByteCounterControl, "");
    m_window.SetControlText(kRateControl, "");
    m_window.MoveControl(kStatusControl, 17, 520, 462, 13);
    m_window.SetControlText(kStatusControl, m_statusBuffer);
}

void CUpdateSurface::BeginFileProgress(int64_t size, int64_t position) {
    m_fileProgressBar.SetRange(0, static_cast<uint64_t>(size));
    m_fileProgressBar.SetPos(static_cast<uint64_t>(position));
    if (m_pWorker && m_pWorker->m_bPatchMode) {
        char text[1024];
        std::snprintf(text, sizeof text, "%s (%d/%d)", LoadStringText(133).c_str(),
                      static_cast<int>(m_patchIndex + 1), static_cast<int>(m_patchTotal.load()));
        SetStatusText(text);
        m_window.SetControlText(kRateControl, "(Kb/s)");
    } else {
        SetStatusText(LoadStringText(133));
    }
    m_rateSampleSum = 0.0;
    m_rateSampleCount = 0;
    m_rateLastBytes = 0;
    m_rateStopwatch.Restart();
}

void CUpdateSurface::ShowTransferBytes(int64_t received, int64_t total, bool force) {
    if (!ShowsTransferCounters()) return;
    if (!force && !(m_displayStopwatch.ElapsedSeconds() > 0.2f)) return;
    char text[64];
    std::snprintf(text, sizeof text, "%" PRId64 " / %" PRId64, received, total);
    m_window.SetControlText(kByteCounterControl, text);
    m_displayStopwatch.Restart();
}

void CUpdateSurface::SampleTransferRate(uint32_t bytesSoFar) {
    float elapsed = m_rateStopwatch.ElapsedSeconds();
    if (!(elapsed > 1.0f)) return;
    uint32_t delta = bytesSoFar - m_rateLastBytes;
    float sample = static_cast<float>(static_cast<double>(delta) / static_cast<double>(elapsed));
    ++m_rateSampleCount;
    m_rateLastBytes = bytesSoFar;
    m_rateSampleSum += sample;
    ShowTransferRate(m_rateSampleSum / m_rateSampleCount);
    m_rateStopwatch.Restart();
}

void CUpdateSurface::ShowTransferRate(double bytesPerSecond) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d Kb/s)", static_cast<int>(bytesPerSecond / 1000.0));
    m_window.SetControlText(kRateControl, text);
}

void CUpdateSurface::SetPatchCount(uint32_t total) {
    m_patchTotal = total;
    m_patchIndex = 0;
}

void CUpdateSurface::AdvancePatchIndex() {
    ++m_patchIndex;
}

// When the free space cannot be determined the answer is yes: a disk that is
// really full then fails the write, which reports itself.
bool CUpdateSurface::HasFreeDiskSpace(uint64_t byteCount) const {
    std::optional<uint64_t> free = m_freeSpaceQuery();
    return !free || *free > byteCount;
}

bool CUpdateSurface::IsGameInstalled() const {
    return platform::RegularFileExists("game.exe");
}

void CUpdateSurface::ShowReinstallRequired() {
    SetStatusText(LoadStringText(134) + "c05");
    m_window.SetControlText(kByteCounterControl, "");
    m_window.SetControlText(kRateControl, "");
    for (ProgressBar* bar : {&m_fileProgressBar, &m_totalProgressBar}) {
        bar->SetRange(0, 1);
        bar->SetPos(1);
    }
    m_window.EnableControl(kStartButtonControl, false);
}

void CUpdateSurface::FinishUpdate(bool startGame) {
    SetStatusText(LoadStringText(m_bPatchesApplied ? 131 : 132));
    m_window.SetControlText(kByteCounterControl, "");
    m_window.SetControlText(kRateControl, "");
    for (ProgressBar* bar : {&m_fileProgressBar, &m_totalProgressBar}) {
        bar->SetRange(0, 1);
        bar->SetPos(1);
    }
    if (!startGame) return;
    std::string commandLine = "Game.exe start game";
    if (HasUifMagic) commandLine = ("Game.exe start game " + CurrentGameAddress).substr(0, 1023);
    HandOverTo(commandLine);
}

int CUpdateSurface::ShowMessageBox(const std::string& text, unsigned style) {
    return m_window.ShowMessageBox(text, kMessageBoxCaption, style);
}

platform::ProgramStart CUpdateSurface::RunProgram(const std::string& commandLine) {
    return m_programRunner ? m_programRunner(commandLine) : platform::RunProgram(commandLine);
}

bool CUpdateSurface::HandOverTo(const std::string& commandLine) {
    platform::ProgramStart start = RunProgram(commandLine);
    if (start) {
        m_window.PostCloseRequest();
        return true;
    }
    std::string text = StartFailureText(commandLine, start);
    ShowMessageBox(text);
    ShowStatusError(text);
    return false;
}

void CUpdateSurface::PostCloseRequest() {
    m_window.PostCloseRequest();
}

void CUpdateSurface::SetControlText(int controlId, const std::string& text) {
    m_window.SetControlText(controlId, text);
}

void CUpdateSurface::EnableControl(int controlId, bool enabled) {
    m_window.EnableControl(controlId, enabled);
}
