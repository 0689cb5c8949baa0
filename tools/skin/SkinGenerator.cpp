// Draws the launcher's built-in artwork: the skin, every button face, the tabs,
// arrows, thumb pieces, progress bars and the icon, as 24-bit BMP files named by
// their resource id, plus the resource list that compiles them in. Deterministic:
// the same fonts give the same files, so the build can regenerate them at will.
//
// Usage: velmor-skin-gen <output folder>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <cstdint>
#include <cstdio>
#include <map>

namespace {

const QColor kKey(0, 0, 243);
const QColor kGold(214, 176, 96);
const QColor kGoldDark(120, 88, 40);
const QColor kGoldLight(250, 226, 160);
const QColor kLeatherDark(22, 17, 15);
const QColor kLeather(46, 34, 27);
const QColor kInk(8, 7, 7);

const char* kSerif = "DejaVu Serif";
const char* kCjk = "WenQuanYi Micro Hei";

std::map<int, QImage> g_images;

QImage NewImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kInk);
    return image;
}

QFont Font(const char* family, int pixels, bool bold = false) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// A small deterministic grain, so large flat areas read as leather and stone.
void AddGrain(QImage& image, QRect area, int strength, uint32_t seed) {
    uint32_t state = seed;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            state = state * 1664525u + 1013904223u;
            int delta = static_cast<int>((state >> 24) % (2 * strength + 1)) - strength;
            QColor c(line[x]);
            line[x] = qRgb(std::clamp(c.red() + delta, 0, 255), std::clamp(c.green() + delta, 0, 255),
                           std::clamp(c.blue() + delta * 2 / 3, 0, 255));
        }
    }
}

void GoldFrame(QPainter& p, QRectF r, qreal width = 2.0) {
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1.0));
    p.drawRect(r.adjusted(-width - 1, -width - 1, width + 1, width + 1));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kGoldLight);
    g.setColorAt(0.5, kGold);
    g.setColorAt(1, kGoldDark);
    p.setPen(QPen(QBrush(g), width));
    p.drawRect(r.adjusted(-width / 2, -width / 2, width / 2, width / 2));
    p.restore();
}

// A dark inset panel with its gold frame around the rectangle (right/bottom exclusive).
void Panel(QPainter& p, QRect r, QColor fill = kInk) {
    p.fillRect(r, fill);
    GoldFrame(p, QRectF(r).adjusted(-0.5, -0.5, 0.5, 0.5));
}

void Diamond(QPainter& p, QPointF c, qreal s) {
    QPainterPath path;
    path.moveTo(c.x(), c.y() - s);
    path.lineTo(c.x() + s, c.y());
    path.lineTo(c.x(), c.y() + s);
    path.lineTo(c.x() - s, c.y());
    path.closeSubpath();
    p.fillPath(path, kGold);
    p.strokePath(path, QPen(kGoldDark, 1));
}

void Text(QPainter& p, QRect r, const QString& text, const QFont& font, QColor color,
          int flags = Qt::AlignCenter, bool shadow = true) {
    p.setFont(font);
    if (shadow) {
        p.setPen(kInk);
        p.drawText(r.translated(1, 1), flags, text);
    }
    p.setPen(color);
    p.drawText(r, flags, text);
}

// The window outline: three rounded corners, a stepped title plate on the left
// and a full-height corner under the close button.
QPainterPath SkinOutline() {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(QRectF(0, 10, 664, 575), 18, 18);
    path.addRoundedRect(QRectF(0, 0, 292, 60), 18, 18);
    path.addRect(QRectF(600, 0, 64, 40));
    path.addRect(QRectF(0, 30, 40, 40));
    return path.simplified();
}

void DrawSkin() {
    QImage skin = NewImage(664, 585);
    QPainterPath outline = SkinOutline();
    {
        QPainter p(&skin);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient body(0, 0, 0, 585);
        body.setColorAt(0, QColor(58, 43, 33));
        body.setColorAt(0.45, kLeather);
        body.setColorAt(1, QColor(30, 23, 19));
        p.fillPath(outline, body);
    }
    AddGrain(skin, skin.rect(), 5, 191);
    QPainter p(&skin);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.strokePath(outline, QPen(kGoldDark, 5));
    p.strokePath(outline, QPen(kGold, 2));

    // Title plate: the game's name in gold, the updater's name beneath.
    QLinearGradient title(0, 4, 0, 56);
    title.setColorAt(0, kGoldLight);
    title.setColorAt(0.55, kGold);
    title.setColorAt(1, kGoldDark);
    QPainterPath word;
    word.addText(28, 44, Font(kSerif, 36, true), "VELMOR");
    p.fillPath(word.translated(2, 2), kInk);
    p.fillPath(word, title);
    p.strokePath(word, QPen(QColor(70, 48, 20), 1));
    Text(p, QRect(214, 24, 76, 24), QStringLiteral("更新程序"), Font(kCjk, 14), kGoldLight,
         Qt::AlignLeft | Qt::AlignVCenter);
    p.setPen(QPen(kGoldDark, 1));
    p.drawLine(304, 34, 590, 34);
    Diamond(p, QPointF(304, 34), 4);
    Diamond(p, QPointF(590, 34), 4);
    Text(p, QRect(330, 20, 240, 28), "Realm of the Northern Crowns", Font(kSerif, 12), QColor(190, 160, 110));

    // Large news page and the row of link buttons under it.
    Panel(p, QRect(8, 64, 648, 190));
    p.setPen(QPen(kGoldDark, 1));
    p.drawLine(24, 260, 640, 260);
    p.drawLine(24, 297, 640, 297);

    // Group tabs, the server list and its scroll column.
    p.fillRect(QRect(24, 316, 304, 17), QColor(20, 15, 13));
    Text(p, QRect(24, 313, 116, 20), QStringLiteral("选择服务器"), Font(kCjk, 12), kGold,
         Qt::AlignLeft | Qt::AlignVCenter);
    Panel(p, QRect(24, 337, 304, 114));
    p.fillRect(QRect(316, 340, 11, 107), kInk);
    Diamond(p, QPointF(24, 337), 3);
    Diamond(p, QPointF(328, 451), 3);

    // Small news page with its "more" link.
    Text(p, QRect(376, 316, 200, 18), QStringLiteral("最新消息"), Font(kCjk, 12), kGold,
         Qt::AlignLeft | Qt::AlignVCenter);
    Text(p, QRect(593, 319, 47, 13), QStringLiteral("更多 »"), Font(kCjk, 11), kGoldLight,
         Qt::AlignRight | Qt::AlignVCenter);
    Panel(p, QRect(376, 336, 263, 113));

    // Progress bars, status line and the footer.
    Panel(p, QRect(18, 468, 465, 70), QColor(16, 12, 11));
    Text(p, QRect(24, 470, 200, 12), QStringLiteral("更新进度"), Font(kCjk, 10), QColor(170, 150, 120),
         Qt::AlignLeft | Qt::AlignVCenter, false);
    p.fillRect(QRect(19, 482, 455, 22), kInk);
    p.fillRect(QRect(17, 518, 463, 17), QColor(12, 9, 8));
    Panel(p, QRect(500, 467, 147, 52), QColor(16, 12, 11));
    Text(p, QRect(20, 556, 624, 20), QStringLiteral("© Velmor · 祝您游戏愉快"), Font(kCjk, 11),
         QColor(150, 125, 90));
    p.end();

    // The outline last, in the exact key colour and without blending, so that
    // every cut-out pixel matches and nothing inside does by chance.
    for (int y = 0; y < skin.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(skin.scanLine(y));
        for (int x = 0; x < skin.width(); ++x) {
            bool inside = outline.contains(QPointF(x + 0.5, y + 0.5));
            if (!inside)
                line[x] = kKey.rgb();
            else if (line[x] == kKey.rgb())
                line[x] = qRgb(0, 0, 242);
        }
    }
    g_images[191] = skin;
}

enum class Face { Normal, Hover, Pressed };

// A bevelled plate; `accent` tints it (red for the start button, bronze else).
QImage ButtonFace(QSize size, const QString& label, Face face, QColor accent, int pixels) {
    QImage image = NewImage(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QColor top = accent.lighter(face == Face::Hover ? 165 : 130);
    QColor bottom = accent.darker(face == Face::Hover ? 120 : 170);
    if (face == Face::Pressed) {
        top = QColor(70, 64, 58);
        bottom = QColor(40, 36, 33);
    }
    QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(image.rect(), kInk);
    p.setBrush(g);
    p.setPen(QPen(face == Face::Pressed ? QColor(110, 100, 90) : kGold, 1));
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
    if (face == Face::Hover) {
        QRadialGradient glow(QPointF(size.width() / 2.0, size.height() / 2.0), size.width() / 1.6);
        glow.setColorAt(0, QColor(255, 230, 160, 90));
        glow.setColorAt(1, QColor(255, 230, 160, 0));
        p.setBrush(glow);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(r.adjusted(2, 2, -2, -2), 3, 3);
    }
    QColor text = face == Face::Pressed ? QColor(150, 140, 128)
                  : face == Face::Hover ? QColor(255, 248, 220)
                                        : kGoldLight;
    QRect textRect = image.rect().adjusted(2, 1, -2, -1);
    if (face == Face::Pressed)
        textRect.translate(1, 1);
    Text(p, textRect, label, Font(kCjk, pixels, size.height() > 30), text);
    return image;
}

void DrawButton(int normal, int hover, int pressed, QSize size, const QString& label, QColor accent,
                int pixels) {
    g_images[normal] = ButtonFace(size, label, Face::Normal, accent, pixels);
    g_images[hover] = ButtonFace(size, label, Face::Hover, accent, pixels);
    g_images[pressed] = ButtonFace(size, label, Face::Pressed, accent, pixels);
}

// Close button: a gold cross on the plate in the window's top-right corner.
void DrawCloseButton() {
    const int ids[3] = {193, 200, 201};
    for (int i = 0; i < 3; ++i) {
        QImage image = NewImage(26, 24);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(image.rect(), i == 1 ? QColor(120, 30, 24) : i == 2 ? QColor(40, 36, 33) : QColor(58, 43, 33));
        p.setPen(QPen(i == 2 ? QColor(120, 110, 100) : kGold, 1));
        p.drawRect(QRectF(1.5, 1.5, 23, 21));
        p.setPen(QPen(i == 1 ? QColor(255, 240, 210) : i == 2 ? QColor(140, 130, 120) : kGoldLight, 2.2));
        p.drawLine(QPointF(8, 7), QPointF(18, 17));
        p.drawLine(QPointF(18, 7), QPointF(8, 17));
        g_images[ids[i]] = image;
    }
}

void DrawTabs() {
    for (int chosen = 0; chosen < 2; ++chosen) {
        QImage image = NewImage(44, 17);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 0, 17);
        g.setColorAt(0, chosen ? QColor(150, 40, 30) : QColor(72, 56, 44));
        g.setColorAt(1, chosen ? QColor(70, 16, 12) : QColor(34, 26, 21));
        p.fillRect(image.rect(), QColor(20, 15, 13));
        QPainterPath shape;
        shape.addRoundedRect(QRectF(0.5, 0.5, 43, 20), 4, 4);
        p.fillPath(shape, g);
        p.strokePath(shape, QPen(chosen ? kGoldLight : kGoldDark, 1));
        g_images[chosen ? 208 : 209] = image;
    }
}

// A small triangle on a plate; the scroll arrows and the group arrows share it.
QImage Arrow(QSize size, bool up, bool left, QColor plate, QColor mark) {
    QImage image = NewImage(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, plate.lighter(130));
    g.setColorAt(1, plate.darker(140));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(kGoldDark, 1));
    p.drawRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1));
    qreal cx = size.width() / 2.0, cy = size.height() / 2.0;
    QPainterPath tri;
    if (left) {
        // The tip points the way the groups move: left for the previous ones.
        qreal d = up ? 1 : -1;
        tri.moveTo(cx + 3 * d, cy - 4);
        tri.lineTo(cx - 3 * d, cy);
        tri.lineTo(cx + 3 * d, cy + 4);
    } else {
        qreal d = up ? -1 : 1;
        tri.moveTo(cx - 3.5, cy - 2 * d);
        tri.lineTo(cx + 3.5, cy - 2 * d);
        tri.lineTo(cx, cy + 2.5 * d);
    }
    tri.closeSubpath();
    p.fillPath(tri, mark);
    return image;
}

void DrawArrows() {
    const QColor plate(70, 54, 42);
    g_images[210] = Arrow({11, 19}, true, false, plate, kGoldLight);
    g_images[211] = Arrow({11, 19}, true, false, QColor(120, 86, 50), QColor(255, 244, 210));
    g_images[212] = Arrow({11, 19}, true, false, QColor(40, 36, 33), QColor(110, 100, 90));
    g_images[213] = Arrow({11, 19}, false, false, plate, kGoldLight);
    g_images[214] = Arrow({11, 19}, false, false, QColor(120, 86, 50), QColor(255, 244, 210));
    g_images[215] = Arrow({11, 19}, false, false, QColor(40, 36, 33), QColor(110, 100, 90));
    g_images[238] = Arrow({16, 17}, true, true, plate, kGoldLight);
    g_images[237] = Arrow({16, 17}, false, true, plate, kGoldLight);
}

// The thumb is three pieces stacked: a rounded top, a stretchable middle, a rounded foot.
void DrawThumb() {
    QImage whole = NewImage(11, 82);
    {
        QPainter p(&whole);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 11, 0);
        g.setColorAt(0, kGoldLight);
        g.setColorAt(0.5, kGold);
        g.setColorAt(1, kGoldDark);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(1, 0.5, 9, 81), 4, 4);
        p.fillPath(shape, g);
        p.strokePath(shape, QPen(QColor(80, 58, 26), 1));
        p.setPen(QPen(QColor(120, 88, 40), 1));
        for (int y = 8; y < 74; y += 4)
            p.drawLine(3, y, 8, y);
    }
    g_images[236] = whole.copy(0, 0, 11, 5);
    g_images[235] = whole.copy(0, 5, 11, 69);
    g_images[234] = whole.copy(0, 74, 11, 8);
}

void DrawProgressBars() {
    QImage back = NewImage(453, 8);
    {
        QPainter p(&back);
        QLinearGradient g(0, 0, 0, 8);
        g.setColorAt(0, QColor(10, 8, 8));
        g.setColorAt(1, QColor(34, 28, 24));
        p.fillRect(back.rect(), g);
        p.setPen(QColor(80, 62, 40));
        p.drawRect(0, 0, 452, 7);
    }
    g_images[194] = back;
    auto fill = [](QColor light, QColor dark) {
        QImage image = NewImage(453, 8);
        QPainter p(&image);
        QLinearGradient g(0, 0, 0, 8);
        g.setColorAt(0, light);
        g.setColorAt(0.5, light.darker(115));
        g.setColorAt(1, dark);
        p.fillRect(image.rect(), g);
        p.setPen(QColor(255, 255, 255, 70));
        p.drawLine(1, 1, 451, 1);
        return image;
    };
    g_images[195] = fill(QColor(120, 200, 110), QColor(30, 90, 30));
    g_images[196] = fill(QColor(240, 196, 90), QColor(140, 80, 20));
}

void DrawIcon() {
    QImage icon = NewImage(48, 48);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(24, 20), 30);
    g.setColorAt(0, QColor(150, 40, 30));
    g.setColorAt(1, QColor(40, 10, 8));
    p.fillRect(icon.rect(), g);
    p.setPen(QPen(kGold, 2));
    p.drawRect(QRectF(2, 2, 44, 44));
    QPainterPath letter;
    letter.addText(10, 38, Font(kSerif, 34, true), "V");
    QLinearGradient gold(0, 8, 0, 40);
    gold.setColorAt(0, kGoldLight);
    gold.setColorAt(1, kGoldDark);
    p.fillPath(letter, gold);
    g_images[164] = icon;
}

void DrawAllButtons() {
    const QColor bronze(110, 80, 48);
    DrawButton(202, 203, 204, {143, 48}, QStringLiteral("开始游戏"), QColor(150, 36, 26), 20);
    DrawCloseButton();
    DrawButton(205, 206, 207, {69, 28}, QStringLiteral("游戏设置"), bronze, 12);
    DrawButton(197, 198, 199, {69, 28}, QStringLiteral("系统信息"), bronze, 12);
    DrawButton(233, 217, 218, {73, 24}, QStringLiteral("官方网站"), bronze, 12);
    DrawButton(219, 220, 221, {73, 24}, QStringLiteral("新闻公告"), bronze, 12);
    DrawButton(222, 223, 224, {73, 24}, QStringLiteral("游戏论坛"), bronze, 12);
    DrawButton(225, 226, 227, {73, 24}, QStringLiteral("账号中心"), bronze, 12);
    DrawButton(228, 229, 230, {47, 24}, QStringLiteral("充值"), bronze, 12);
    DrawButton(231, 232, 216, {47, 24}, QStringLiteral("客服"), bronze, 12);
}

bool WriteAll(const QString& folder) {
    QFile list(folder + "/skin.qrc");
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream qrc(&list);
    qrc << "<RCC>\n  <qresource prefix=\"/bitmaps\">\n";
    for (const auto& [id, image] : g_images) {
        QString name = QString::number(id) + ".bmp";
        if (!image.convertToFormat(QImage::Format_RGB888).save(folder + "/" + name, "BMP")) {
            std::fprintf(stderr, "velmor-skin-gen: cannot write %s\n", qPrintable(name));
            return false;
        }
        qrc << "    <file>" << name << "</file>\n";
    }
    qrc << "  </qresource>\n</RCC>\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmor-skin-gen <output folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    DrawSkin();
    DrawAllButtons();
    DrawTabs();
    DrawArrows();
    DrawThumb();
    DrawProgressBars();
    DrawIcon();
    return WriteAll(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
