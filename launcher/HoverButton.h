#pragma once
// A push button whose face is one of four bitmaps: pressed, disabled, hovered or
// normal, first match wins. Clicks, focus and enabling are the standard button's;
// its own logic is only noticing when the pointer rests on it and when it leaves.
#include <QAbstractButton>
#include <QImage>
#include <QTimer>

class CBitmapStore;

class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    // How long the pointer must rest on the button before it counts as hovering.
    static constexpr int kHoverDelayMilliseconds = 1;

    explicit CHoverButton(QWidget* parent = nullptr);

    // Takes the four faces, sizes the button after the normal one and places it at
    // (x, y) of the parent. A missing bitmap draws as black.
    void SetButtonBitmaps(const CBitmapStore& bitmaps, int x, int y, int normal, int hover, int pressed,
                          int disabled);

    bool HoverFlag() const { return m_bHover; }
    bool TrackingFlag() const { return m_bTracking; }
    // The face the button shows now.
    const QImage& CurrentFace() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    QSize sizeHint() const override { return {m_nWidth, m_nHeight}; }

private:
    void OnHover();

    bool m_bHover = false;
    int m_nWidth = 0;
    int m_nHeight = 0;
    QImage m_normal;
    QImage m_hover;
    QImage m_pressed;
    QImage m_disabled;
    bool m_bTracking = false;
    QTimer m_hoverTimer;
};
