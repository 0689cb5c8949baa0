// velmor-launcher: brings the game in the current folder up to date and starts it
// against the server the player picks in the skinned window.
#include <QApplication>

#include "launcher/KestrunDlg.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("velmor-launcher");
    QApplication::setApplicationDisplayName("Velmor Updater");
    // The window is shown only once it is fully set up; without updater.uif the
    // program ends quietly after its message.
    CKestrunDlg window;
    if (!window.Initialise())
        return 0;
    window.exec();
    return 0;
}
