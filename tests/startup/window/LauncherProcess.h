#pragma once
// The launcher program started as the player starts it, in a game folder of the
// test, with the X windows it shows looked up through xdotool.
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace startuptest {

struct SXWindow {
    std::string Id;
    std::string Title;
    int Width = 0;
    int Height = 0;
};

// Output of a shell command.
std::string Capture(const std::string& command);

class CChildProcess {
public:
    // Starts `program` with `arguments` in `folder`, the environment changed by
    // `environment` (an empty value removes the variable), standard error into `errorFile`.
    CChildProcess(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
                  const std::map<std::string, std::string>& environment, const std::string& errorFile);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    // The exit code once it has ended within the time; nothing while it runs.
    std::optional<int> WaitForExit(int milliseconds);
    bool Signalled() const { return m_bSignalled; }

private:
    pid_t m_pid = -1;
    bool m_bEnded = false;
    bool m_bSignalled = false;
};

// The mapped top-level windows of a process, or with exactly this title.
std::vector<SXWindow> VisibleWindowsOf(pid_t pid);
std::vector<SXWindow> VisibleWindowsNamed(const std::string& title);
// Waits until the process (with 0: any program) shows a window titled "Velmor
// Updater" for which `accept` holds.
std::optional<SXWindow> WaitForWindow(pid_t pid, bool (*accept)(const SXWindow&), int milliseconds);
// Gives the window the keyboard focus and presses the key, as the player would.
bool PressKey(const SXWindow& window, const std::string& key);

}  // namespace startuptest
