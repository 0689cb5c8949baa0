#include "launcher/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "launcher/BitmapStore.h"

CAboutDlg::CAboutDlg(const CBitmapStore& bitmaps, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Velmor Updater");
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap::fromImage(bitmaps.Image(164)));
    auto* name = new QLabel("Velmor Updater 1.0", this);
    auto* line = new QLabel("Copyright (C) Velmor", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(line);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}
