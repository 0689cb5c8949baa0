#pragma once
// The launcher's single window: a frameless dialog whose face is the skin bitmap,
// shaped by it, with ten bitmap buttons, three labels, the tab strip, the server
// list with its scroll bar, and the two progress bars. It is the view of the
// server selection, the canvas of the list logic and the primitives of the update
// surface; the worker reaches it from its own thread through the latter only.
#include <QDialog>
#include <QImage>
#include <QMutex>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/HttpPatcher.h"
#include "engine/IWindowPrimitives.h"
#include "engine/UpdateSurface.h"
#include "launcher/BitmapStore.h"
#include "launcher/core/ISelectionView.h"
#include "launcher/core/MyRegKey.h"
#include "launcher/core/ServerListLogic.h"
#include "launcher/core/ServerSelection.h"

class QLabel;
class QMenu;
class CHoverButton;
class CMyHtmlView;
struct SLatencyProbe;

// Where the window reaches outside itself; tests replace them.
struct SWindowServices {
    QString SkinFolder = CBitmapStore::DefaultSkinFolder();
    // Opens a web address with the desktop's handler.
    std::function<void(const std::string&)> OpenUrl;
    // Starts a command line (the settings and system-information tools).
    std::function<void(const std::string&)> RunProgram;
    // Told of every text a control takes, on the window thread, in order.
    std::function<void(int, const std::string&)> TextShown;
    // The two news pages and the latency probe; tests of other behaviour leave
    // them out.
    bool NewsPages = true;
    bool LatencyProbe = true;
};

// The face of the labels and the list: "굴림체" where it exists, else a CJK face.
QFont LauncherFont();

class CKestrunDlg : public QDialog,
                    public ISelectionView,
                    public IServerListCanvas,
                    public IWindowPrimitives {
    Q_OBJECT
public:
    static constexpr int kSkinBitmap = 191;
    static constexpr int kIconBitmap = 164;
    static constexpr QRgb kLabelColour = 0xFFD7D7CD;  // RGB(215, 215, 205)
    // Bar draws from the worker reach the screen at most once in this time.
    static constexpr int kBarFrameMilliseconds = 100;

    explicit CKestrunDlg(SWindowServices services = {}, QWidget* parent = nullptr);
    ~CKestrunDlg() override;

    // The dialog initialisation. False when updater.uif could not be loaded: the
    // program then ends with exit code 0 without showing the window.
    bool Initialise();

    // ISelectionView
    void UpdateScrollMetrics() override { m_list.UpdateScrollMetrics(); }
    void UpdateThumbPosition() override { m_list.UpdateThumbPosition(); }
    void DrawScrollThumb() override { m_list.DrawScrollThumb(); }
    void DrawServerList(bool listOnly) override { m_list.DrawServerList(listOnly); }
    bool HasStartButton() const override;
    void EnableStartButton(bool enabled) override;
    void FocusSettingsButton() override;
    void ShowMessageBox(const std::string& text) override;
    void ShowStatusError(const std::string& text) override;

    // IServerListCanvas
    void DrawSkin() override;
    void DrawBitmap(int bitmapId, int x, int y) override;
    void DrawBitmapPart(int bitmapId, int x, int y, int width, int height) override;
    void FillBlack(int left, int top, int right, int bottom) override;
    void DrawTabText(int left, const std::string& name) override;
    void DrawListImage(const std::vector<SListRow>& rows) override;
    void DrawProgressBars() override;
    void MoveWindowBy(int dx, int dy) override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    void OpenLink(int index) override;
    void UpdateStartButton() override { m_selection.UpdateStartButton(); }

    // IWindowPrimitives (any thread)
    void SetControlText(int controlId, const std::string& text) override;
    void MoveControl(int controlId, int x, int y, int width, int height) override;
    void EnableControl(int controlId, bool enabled) override;
    bool GetBitmapSize(int bitmapId, int& width, int& height) override;
    void PostCloseRequest() override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;

    // Any thread (the latency probe, which nobody waits for): the list of the window
    // that is up, if any, is redrawn on its own thread. Safe after the window is gone.
    static void RequestServerListRedraw();
    // A probe of this process still measures a server (its window may be gone).
    static bool LatencyProbeRunning();

    // The close paths: stop the worker while events keep flowing.
    void StopUpdateWorker();
    void BeginPatching() { m_selection.BeginPatching(); }

    // What the window shows, as the user would see it.
    const QImage& Face() const { return m_face; }
    QLabel* Label(int controlId) const;
    CHoverButton* Button(int controlId) const;
    CServerListLogic& ListLogic() { return m_list; }
    CUpdateSurface& Surface() { return m_surface; }
    CHttpPatcher& Worker() { return m_worker; }
    const CBitmapStore& Bitmaps() const { return m_bitmaps; }
    // The news pages; null where they were left out.
    CMyHtmlView* LargeNewsPage() const { return m_pLargeNewsPage.get(); }
    CMyHtmlView* SmallNewsPage() const { return m_pSmallNewsPage.get(); }
    // The context menu with the about entry (also on Alt+Space).
    QMenu* SystemMenu() const { return m_pSystemMenu; }
    void ShowAboutBox();

public slots:
    void accept() override;
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct SPendingDraw {
        int BitmapId, X, Y, Width, Height;
    };

    void CreateControls();
    void CreateNewsPages();
    void StartLatencyProbe();
    void StopLatencyProbe();
    void LayoutSkin();
    void OnDestroy();
    void PaintBitmapPart(int bitmapId, int x, int y, int width, int height);
    void FlushPendingDraws();
    void RefreshCursor();
    bool OnWindowThread() const;
    void RunOnWindowThread(const std::function<void()>& action);
    QWidget* Control(int controlId) const;

    SWindowServices m_services;
    CBitmapStore m_bitmaps;
    QImage m_face;
    std::map<int, QLabel*> m_labels;
    std::map<int, CHoverButton*> m_buttons;
    QFont m_listFont;
    QFont m_labelFont;
    QMenu* m_pSystemMenu = nullptr;
    std::unique_ptr<CMyHtmlView> m_pLargeNewsPage;
    std::unique_ptr<CMyHtmlView> m_pSmallNewsPage;
    // Shared with the probe's thread, which may outlive the window.
    std::shared_ptr<SLatencyProbe> m_pProbe;

    CMyRegKey m_settingsKey;
    CUpdateSurface m_surface;
    CHttpPatcher m_worker;
    CServerListLogic m_list;
    CServerSelection m_selection;

    bool m_bInitialised = false;
    bool m_bClosing = false;
    bool m_bDestroyed = false;
    bool m_bHandShown = false;

    // Bar draws from the worker, waiting for the window thread.
    QMutex m_pendingMutex;
    std::vector<SPendingDraw> m_pendingDraws;
    bool m_bFlushPosted = false;
};
