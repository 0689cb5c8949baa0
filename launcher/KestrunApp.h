#pragma once
// The program's entry: refuses to start beside another launcher, beside the
// running game or without Direct3D 9, and otherwise runs the main window until it
// closes.
#include <string>

class CKestrunDlg;

class CKestrunApp {
public:
    // In the order they are checked; the first that holds ends the start-up.
    enum class ERefusal { None, AlreadyRunning, GameRunning, NoDirectX9 };

    // The updater lock, the game window and Direct3D 9 checks. The lock taken here
    // is held until the process ends.
    static ERefusal CheckStartup();
    // The refusal's message: the string table's text followed by its code.
    static std::string RefusalText(ERefusal refusal);
    // The process's exit code for a refusal (0 for none).
    static int RefusalExitCode(ERefusal refusal);

    // Start-up and the window; returns the process's exit code.
    int InitInstance(int argc, char** argv);

    // The window that is running, for the rest of the program; null before and after.
    CKestrunDlg* MainWindow() const { return m_pMainWnd; }

private:
    static void ShowRefusal(const std::string& text);

    CKestrunDlg* m_pMainWnd = nullptr;
};
