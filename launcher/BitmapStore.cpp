#include "launcher/BitmapStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// Every id the window and its buttons draw.
constexpr int kBitmapIds[] = {164, 191, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207,
                              208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219, 220, 221, 222, 223, 224,
                              225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238};

QImage Load(const QString& path) {
    QImage image(path);
    if (image.isNull())
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QString CBitmapStore::DefaultSkinFolder() {
    return QCoreApplication::applicationDirPath() + "/skin";
}

CBitmapStore::CBitmapStore(const QString& skinFolder) {
    Q_INIT_RESOURCE(velmor_skin);
    QDir folder(skinFolder);
    for (int id : kBitmapIds) {
        QString name = QString::number(id) + ".bmp";
        QImage image;
        if (!skinFolder.isEmpty() && QFileInfo(folder.filePath(name)).isFile())
            image = Load(folder.filePath(name));
        if (image.isNull())
            image = Load(":/bitmaps/" + name);
        if (!image.isNull())
            m_images.emplace(id, std::move(image));
    }
}

const QImage* CBitmapStore::Find(int id) const {
    auto it = m_images.find(id);
    return it == m_images.end() ? nullptr : &it->second;
}

QImage CBitmapStore::Image(int id) const {
    const QImage* image = Find(id);
    return image ? *image : QImage();
}

bool CBitmapStore::Size(int id, int& width, int& height) const {
    const QImage* image = Find(id);
    if (!image)
        return false;
    width = image->width();
    height = image->height();
    return true;
}
