#include "launcher/HoverButton.h"

#include <QMouseEvent>
#include <QPainter>

#include "launcher/BitmapStore.h"

CHoverButton::CHoverButton(QWidget* parent) : QAbstractButton(parent) {
    // The face is copied whole: nothing of the parent shows through, nothing is erased.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    // Its own cursor, so that the list's hand does not follow the pointer onto it.
    setCursor(Qt::ArrowCursor);
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(kHoverDelayMilliseconds);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CHoverButton::OnHover);
}

void CHoverButton::SetButtonBitmaps(const CBitmapStore& bitmaps, int x, int y, int normal, int hover, int pressed,
                                    int disabled) {
    m_normal = bitmaps.Image(normal);
    m_hover = bitmaps.Image(hover);
    m_pressed = bitmaps.Image(pressed);
    m_disabled = bitmaps.Image(disabled);
    m_nWidth = m_normal.width();
    m_nHeight = m_normal.height();
    setGeometry(x, y, m_nWidth, m_nHeight);
    update();
}

const QImage& CHoverButton::CurrentFace() const {
    if (isDown())
        return m_pressed;
    if (!isEnabled())
        return m_disabled;
    return m_bHover ? m_hover : m_normal;
}

void CHoverButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage& face = CurrentFace();
    if (face.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(QPoint(0, 0), face, QRect(0, 0, m_nWidth, m_nHeight));
}

void CHoverButton::mouseMoveEvent(QMouseEvent* event) {
    // One hover notice per entry: asked for on the first move, not again until the
    // pointer has left.
    if (!m_bTracking) {
        m_hoverTimer.start();
        m_bTracking = true;
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
    m_hoverTimer.stop();
    m_bTracking = false;
    m_bHover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CHoverButton::OnHover() {
    m_bHover = true;
    update();
}
