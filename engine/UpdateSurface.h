#pragma once
// The progress and status surface: everything the user sees of an update run,
// as toolkit-free logic on the window primitives. The window (or the command
// line) owns one and implements IWindowPrimitives; the worker, the extraction and
// the merge call it from the worker thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/IWindowPrimitives.h"
#include "engine/ProgressBar.h"
#include "engine/Stopwatch.h"
#include "platform/Process.h"

class CHttpPatcher;

// Controls the surface writes.
constexpr int kStartButtonControl = 1;
constexpr int kByteCounterControl = 1006;
constexpr int kRateControl = 1007;
constexpr int kStatusControl = 1012;
constexpr int kCloseButtonControl = 1019;

// Message box styles and answers the launcher uses (the Windows values).
constexpr unsigned kMessageBoxOk = 0;
constexpr int kMessageBoxAnswerOk = 1;
constexpr const char* kMessageBoxCaption = "Velmor Updater";

// The status buffer's size; a longer text is cut at a character boundary.
constexpr size_t kStatusBufferSize = 1000;

class CUpdateSurface {
public:
    explicit CUpdateSurface(IWindowPrimitives& window);
    CUpdateSurface(const CUpdateSurface&) = delete;
    CUpdateSurface& operator=(const CUpdateSurface&) = delete;

    // The worker whose patch mode and outdated-updater flags decide what the
    // byte counter and the file status show. Set by the worker's constructor.
    void AttachWorker(const CHttpPatcher* worker) { m_pWorker = worker; }

    void SetStatusText(const std::string& text);
    // Shows a finished text (printed as it is, '%' included) in the widened status
    // line and empties both transfer texts.
    void ShowStatusError(std::string_view text);
    void BeginFileProgress(int64_t size, int64_t position);
    void ShowTransferBytes(int64_t received, int64_t total, bool force);
    void SampleTransferRate(uint32_t bytesSoFar);
    void ShowTransferRate(double bytesPerSecond);
    void SetPatchCount(uint32_t total);
    void AdvancePatchIndex();
    // Free space of the current folder's disk is greater than the count.
    bool HasFreeDiskSpace(uint64_t byteCount) const;
    // "game.exe" exists in the current folder (any case).
    bool IsGameInstalled() const;
    void ShowReinstallRequired();
    // Final display; with `startGame` also closes the window and starts the game.
    void FinishUpdate(bool startGame);

    // A modal box with the caption "Velmor Updater"; blocks only the caller.
    int ShowMessageBox(const std::string& text, unsigned style = kMessageBoxOk);
    // Starts a command line without waiting for it.
    platform::ProgramStart RunProgram(const std::string& commandLine);
    // Starts the program that takes the launcher's place (the game, or the game's
    // hand-over to a newer launcher) and then closes the window. A program that
    // cannot start is named with the reason in a box and in the status line, and
    // the window stays open: nothing was done for the player.
    bool HandOverTo(const std::string& commandLine);
    void PostCloseRequest();
    void SetControlText(int controlId, const std::string& text);
    void EnableControl(int controlId, bool enabled);

    ProgressBar& FileProgressBar() { return m_fileProgressBar; }
    ProgressBar& TotalProgressBar() { return m_totalProgressBar; }
    Stopwatch& RateStopwatch() { return m_rateStopwatch; }
    Stopwatch& DisplayStopwatch() { return m_displayStopwatch; }

    // Set when the run enters the patch loop; decides the final text.
    void SetPatchesApplied(bool applied) { m_bPatchesApplied = applied; }
    bool PatchesApplied() const { return m_bPatchesApplied; }
    uint32_t PatchTotal() const { return m_patchTotal; }
    uint32_t PatchIndex() const { return m_patchIndex; }
    // Bytes written by the extraction of the current patch; it moves the file bar.
    uint64_t& ExtractedBytes() { return m_extractedBytes; }
    // The last text of ShowStatusError.
    std::string StatusBuffer() const { return m_statusBuffer; }

    // Tests replace the free-space query of the current folder's disk.
    void SetFreeSpaceQuery(std::function<std::optional<uint64_t>()> query) { m_freeSpaceQuery = std::move(query); }
    // Replaces how programs are started (the command line's --no-start, tests).
    void SetProgramRunner(std::function<platform::ProgramStart(const std::string&)> runner) {
        m_programRunner = std::move(runner);
    }

    IWindowPrimitives& Window() { return m_window; }

private:
    bool ShowsTransferCounters() const;

    IWindowPrimitives& m_window;
    const CHttpPatcher* m_pWorker = nullptr;
    std::atomic<uint32_t> m_patchTotal{0};
    std::atomic<uint32_t> m_patchIndex{0};
    std::atomic<bool> m_bPatchesApplied{false};
    uint64_t m_extractedBytes = 0;
    Stopwatch m_rateStopwatch;
    Stopwatch m_displayStopwatch;
    uint32_t m_rateSampleCount = 0;
    double m_rateSampleSum = 0.0;
    uint32_t m_rateLastBytes = 0;
    std::string m_statusBuffer;
    ProgressBar m_fileProgressBar;
    ProgressBar m_totalProgressBar;
    std::function<std::optional<uint64_t>()> m_freeSpaceQuery;
    std::function<platform::ProgramStart(const std::string&)> m_programRunner;
};
