#include "tests/startup/window/LauncherProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

extern char** environ;

namespace startuptest {

std::string Capture(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    pclose(pipe);
    return output;
}

CChildProcess::CChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& folder, const std::map<std::string, std::string>& environment,
                             const std::string& errorFile) {
    // Everything the child needs is built before the fork: after it, only exec.
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        size_t equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : environment) {
        if (value.empty())
            variables.erase(name);
        else
            variables[name] = value;
    }
    std::vector<std::string> entries;
    for (const auto& [name, value] : variables)
        entries.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    m_pid = fork();
    if (m_pid == 0) {
        int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (error >= 0)
            dup2(error, STDERR_FILENO);
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
}

CChildProcess::~CChildProcess() {
    if (m_pid > 0 && !m_bEnded) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

std::optional<int> CChildProcess::WaitForExit(int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (m_pid > 0 && !m_bEnded) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_bEnded = true;
            m_bSignalled = WIFSIGNALED(status);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

namespace {

std::vector<SXWindow> VisibleWindows(const std::string& searchArguments) {
    std::vector<SXWindow> windows;
    std::istringstream ids(Capture("xdotool search --onlyvisible " + searchArguments + " 2>/dev/null"));
    for (std::string id; ids >> id;) {
        SXWindow window;
        window.Id = id;
        std::string title = Capture("xdotool getwindowname " + id + " 2>/dev/null");
        if (!title.empty() && title.back() == '\n')
            title.pop_back();
        window.Title = title;
        std::istringstream geometry(Capture("xdotool getwindowgeometry --shell " + id + " 2>/dev/null"));
        for (std::string line; std::getline(geometry, line);) {
            if (line.rfind("WIDTH=", 0) == 0)
                window.Width = std::atoi(line.c_str() + 6);
            if (line.rfind("HEIGHT=", 0) == 0)
                window.Height = std::atoi(line.c_str() + 7);
        }
        windows.push_back(window);
    }
    return windows;
}

}  // namespace

std::vector<SXWindow> VisibleWindowsOf(pid_t pid) { return VisibleWindows("--pid " + std::to_string(pid)); }

std::vector<SXWindow> VisibleWindowsNamed(const std::string& title) {
    return VisibleWindows("--name '^" + title + "$'");
}

std::optional<SXWindow> WaitForWindow(pid_t pid, bool (*accept)(const SXWindow&), int milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const SXWindow& window : pid > 0 ? VisibleWindowsOf(pid) : VisibleWindowsNamed("Velmor Updater")) {
            if (accept(window))
                return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
}

bool PressKey(const SXWindow& window, const std::string& key) {
    std::string command = "timeout 10 xdotool windowfocus --sync " + window.Id + " key " + key + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace startuptest
