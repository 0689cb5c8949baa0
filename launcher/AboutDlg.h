#pragma once
// The about box: the icon, the program's name and version, one fixed line, OK.
#include <QDialog>

class CBitmapStore;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(const CBitmapStore& bitmaps, QWidget* parent = nullptr);
};
