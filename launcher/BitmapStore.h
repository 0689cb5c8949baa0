#pragma once
// The window's bitmaps by resource id: the built-in artwork, or a file "<id>.bmp"
// in the skin folder beside the launcher, which replaces the built-in bitmap of
// that id. Loaded once on the window thread; afterwards read-only, so any thread
// may ask for sizes.
#include <QImage>
#include <QString>
#include <map>

class CBitmapStore {
public:
    // The folder "skin" beside the program.
    static QString DefaultSkinFolder();

    explicit CBitmapStore(const QString& skinFolder = DefaultSkinFolder());

    // The bitmap of an id, or null when neither the skin folder nor the built-in
    // artwork has it.
    const QImage* Find(int id) const;
    // The bitmap, or an empty image.
    QImage Image(int id) const;
    bool Size(int id, int& width, int& height) const;

private:
    std::map<int, QImage> m_images;
};
