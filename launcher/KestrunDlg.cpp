#include "launcher/KestrunDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "launcher/AboutDlg.h"
#include "launcher/BitmapToRegion.h"
#include "launcher/HoverButton.h"
#include "launcher/MyHtmlView.h"
#include "launcher/core/Pinger.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/KeyStore.h"
#include "platform/Process.h"

namespace {

constexpr int kCloseButton = 1019;
constexpr int kSettingsButton = 1000;
constexpr int kSystemInfoButton = 1022;
constexpr const char* kSettingsKeyPath = "SOFTWARE\\TALVE\\Velmor";
constexpr const char* kTestChannelFile = "UpdateVersion-qrx-.ini";
constexpr int kAboutStringId = 101;

struct SButtonPlace {
    int Id, X, Y, Normal, Hover, Pressed, Disabled;
};

// The order in which the buttons are set up.
constexpr SButtonPlace kButtons[] = {
    {1, 502, 469, 202, 203, 204, 204},     {kCloseButton, 638, 0, 193, 200, 201, 201},
    {kSettingsButton, 576, 517, 205, 206, 207, 207}, {kSystemInfoButton, 502, 517, 197, 198, 199, 199},
    {1001, 71, 267, 233, 217, 218, 218},  {1002, 178, 267, 219, 220, 221, 221},
    {1003, 276, 267, 222, 223, 224, 224}, {1004, 371, 267, 225, 226, 227, 227},
    {1008, 473, 267, 228, 229, 230, 230}, {1009, 544, 267, 231, 232, 216, 216},
};

// Link buttons and the Links index each opens.
constexpr std::pair<int, int> kLinkButtons[] = {{1001, 2}, {1002, 3}, {1003, 4}, {1004, 5}, {1008, 6}, {1009, 7}};

struct SLabelPlace {
    int Id, X, Y, Width;
    Qt::Alignment Alignment;
};

constexpr SLabelPlace kLabels[] = {
    {kStatusControl, 17, 520, 250, Qt::AlignLeft},
    {kByteCounterControl, 210, 520, 191, Qt::AlignRight},
    {kRateControl, 402, 520, 73, Qt::AlignRight},
};
constexpr int kLabelHeight = 13;

// The window whose list other threads may ask to be redrawn; cleared before it goes.
std::mutex g_redrawTargetMutex;
CKestrunDlg* g_pRedrawTarget = nullptr;

// Probes of this process that have not yet ended.
std::atomic<int> g_runningProbes{0};

// The news pages' rectangles: left, top, right, bottom.
constexpr int kLargeNewsPage[] = {8, 64, 656, 254};
constexpr int kSmallNewsPage[] = {376, 336, 639, 449};

QString FromText(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Texts of updater.uif are GBK.
QString FromGameText(const std::string& text) { return FromText(platform::GbkToUtf8(text)); }

}  // namespace

// What the probe's thread and the window share; the window only ever sets the flag.
struct SLatencyProbe {
    CPinger Pinger;
    std::atomic<bool> Cancelled{false};
};

QFont LauncherFont() {
    QFont font;
    font.setFamilies({QStringLiteral("굴림체"), QStringLiteral("GulimChe"), QStringLiteral("WenQuanYi Micro Hei Mono"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans Mono CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    // Whole pixels in the given colours, as the list's row colours are meant.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

CKestrunDlg::CKestrunDlg(SWindowServices services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      m_services(std::move(services)),
      m_bitmaps(m_services.SkinFolder),
      m_surface(*this),
      m_worker(m_surface),
      m_list(*this),
      m_selection(*this, m_settingsKey, [this] { m_worker.StartUpdateWorker(); }) {
    if (!m_services.OpenUrl)
        m_services.OpenUrl = [](const std::string& url) { QDesktopServices::openUrl(QUrl::fromUserInput(FromText(url))); };
    if (!m_services.RunProgram)
        m_services.RunProgram = [](const std::string& commandLine) { platform::RunProgram(commandLine); };
    m_face = m_bitmaps.Image(kSkinBitmap);
    if (m_face.isNull()) {
        m_face = QImage(664, 585, QImage::Format_RGB32);
        m_face.fill(Qt::black);
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setWindowIcon(QIcon(QPixmap::fromImage(m_bitmaps.Image(kIconBitmap))));
    CreateControls();
}

CKestrunDlg::~CKestrunDlg() {
    StopLatencyProbe();
    {
        std::lock_guard lock(g_redrawTargetMutex);
        if (g_pRedrawTarget == this)
            g_pRedrawTarget = nullptr;
    }
    // The worker may be waiting on this window for a text; let it finish first.
    StopUpdateWorker();
    OnDestroy();
    if (g_pHttpPatcher == &m_worker)
        g_pHttpPatcher = nullptr;
}

void CKestrunDlg::CreateControls() {
    for (const SLabelPlace& place : kLabels) {
        auto* label = new QLabel(this);
        label->setAlignment(place.Alignment | Qt::AlignVCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor::fromRgb(kLabelColour));
        label->setPalette(palette);
        m_labels[place.Id] = label;
    }
    for (const SButtonPlace& place : kButtons)
        m_buttons[place.Id] = new CHoverButton(this);

    connect(m_buttons[1], &QAbstractButton::clicked, this, [this] { m_selection.BeginPatching(); });
    connect(m_buttons[kCloseButton], &QAbstractButton::clicked, this, [this] {
        StopUpdateWorker();
        PostCloseRequest();
    });
    connect(m_buttons[kSettingsButton], &QAbstractButton::clicked, this,
            [this] { m_services.RunProgram("Config.exe"); });
    connect(m_buttons[kSystemInfoButton], &QAbstractButton::clicked, this,
            [this] { m_services.RunProgram("dxdiag.exe"); });
    for (auto [id, link] : kLinkButtons)
        connect(m_buttons[id], &QAbstractButton::clicked, this, [this, index = link] { OpenLink(index); });
}

bool CKestrunDlg::Initialise() {
    QString aboutText = FromText(LoadStringText(kAboutStringId));
    m_pSystemMenu = new QMenu(this);
    if (!aboutText.isEmpty()) {
        m_pSystemMenu->addSeparator();
        m_pSystemMenu->addAction(aboutText, this, &CKestrunDlg::ShowAboutBox);
    }
    // A frameless window has no system menu of the window manager: Alt+Space
    // opens the window's own.
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this, [this] { m_pSystemMenu->popup(mapToGlobal(QPoint(0, 0))); });

    m_settingsKey.Create(platform::CStoreKey::LocalMachine(), kSettingsKeyPath);
    // The server list is loaded anew below; a probe of an earlier window of this
    // process may still be writing an echo time into the old one.
    while (LatencyProbeRunning())
        QThread::msleep(5);
    if (!m_selection.LoadLauncherConfig())
        return false;
    CreateNewsPages();
    m_listFont = LauncherFont();
    LayoutSkin();
    m_selection.UpdateStartButton();
    setWindowTitle("Velmor Updater");
    m_surface.SetPatchesApplied(false);
    SetSharedText(WorkingFolder, platform::CurrentFolder());
    g_pHttpPatcher = &m_worker;
    {
        std::lock_guard lock(g_redrawTargetMutex);
        g_pRedrawTarget = this;
    }
    StartLatencyProbe();
    m_bInitialised = true;
    return true;
}

void CKestrunDlg::CreateNewsPages() {
    if (!m_services.NewsPages)
        return;
    CMyHtmlView::PrepareWebEngine();
    const LauncherConfig& config = TheLauncherConfig();
    auto create = [this](const int (&area)[4]) {
        return std::make_unique<CMyHtmlView>(this, area[0], area[1], area[2], area[3]);
    };
    m_pLargeNewsPage = create(kLargeNewsPage);
    m_pLargeNewsPage->Navigate(platform::GbkToUtf8(config.Link(0)));
    m_pSmallNewsPage = create(kSmallNewsPage);
    m_pSmallNewsPage->Navigate(platform::GbkToUtf8(config.Link(1)));
}

void CKestrunDlg::StartLatencyProbe() {
    if (!m_services.LatencyProbe)
        return;
    auto probe = std::make_shared<SLatencyProbe>();
    ++g_runningProbes;
    try {
        std::thread([probe] {
            LatencyProbeThread(TheLauncherConfig(), probe->Pinger, [] { RequestServerListRedraw(); },
                               probe->Cancelled);
            --g_runningProbes;
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread the list simply shows no echo times.
        --g_runningProbes;
        return;
    }
    m_pProbe = std::move(probe);
}

void CKestrunDlg::StopLatencyProbe() {
    // Not waited for: the probe ends after the server it is measuring and draws no more.
    if (m_pProbe)
        m_pProbe->Cancelled = true;
}

bool CKestrunDlg::LatencyProbeRunning() { return g_runningProbes.load() > 0; }

void CKestrunDlg::LayoutSkin() {
    // Without a skin bitmap the window keeps its black face and stays rectangular.
    const QImage* found = m_bitmaps.Find(kSkinBitmap);
    const QImage& skin = found ? *found : m_face;
    if (auto region = BitmapToRegion(skin, 0, 0, 243))
        setMask(*region);
    setFixedSize(skin.width(), skin.height());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect available = screen->availableGeometry();
        move(available.center() - QPoint(skin.width() / 2, skin.height() / 2));
    }

    for (const SButtonPlace& place : kButtons) {
        m_buttons[place.Id]->SetButtonBitmaps(m_bitmaps, place.X, place.Y, place.Normal, place.Hover, place.Pressed,
                                              place.Disabled);
        if (place.Id == 1)
            m_buttons[1]->setEnabled(false);
    }

    m_surface.FileProgressBar().Setup(20, 483, 194, 195);
    m_surface.TotalProgressBar().Setup(20, 495, 194, 196);

    m_labelFont = LauncherFont();
    for (const SLabelPlace& place : kLabels) {
        m_labels[place.Id]->setGeometry(place.X, place.Y, place.Width, kLabelHeight);
        m_labels[place.Id]->setFont(m_labelFont);
    }
}

// ---- the close paths ------------------------------------------------------------

void CKestrunDlg::StopUpdateWorker() {
    m_worker.StopUpdateWorker([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 1); });
}

void CKestrunDlg::accept() {
    // Enter is the start button's command, which starts nothing without a valid choice.
    if (m_buttons[1]->isEnabled())
        m_selection.BeginPatching();
}

void CKestrunDlg::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CKestrunDlg::reject() {
    // Escape takes the same road as every other close.
    close();
}

void CKestrunDlg::closeEvent(QCloseEvent* event) {
    if (m_bClosing) {
        // A second close while the first one waits for the worker.
        event->ignore();
        return;
    }
    m_bClosing = true;
    StopLatencyProbe();
    StopUpdateWorker();
    OnDestroy();
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void CKestrunDlg::OnDestroy() {
    if (m_bDestroyed || !m_bInitialised)
        return;
    m_bDestroyed = true;
    m_pLargeNewsPage.reset();
    m_pSmallNewsPage.reset();
    platform::RemoveFile(kTestChannelFile);
    m_selection.SaveChoice();
    m_settingsKey.Close();
}

// ---- ISelectionView ---------------------------------------------------------------

bool CKestrunDlg::HasStartButton() const { return m_buttons.count(1) != 0; }

void CKestrunDlg::EnableStartButton(bool enabled) { m_buttons.at(1)->setEnabled(enabled); }

void CKestrunDlg::FocusSettingsButton() { m_buttons.at(kSettingsButton)->setFocus(); }

void CKestrunDlg::ShowMessageBox(const std::string& text) { ShowMessageBox(text, kMessageBoxCaption, kMessageBoxOk); }

void CKestrunDlg::ShowStatusError(const std::string& text) { m_surface.ShowStatusError(text); }

// ---- drawing onto the face ---------------------------------------------------------

void CKestrunDlg::DrawSkin() {
    if (const QImage* skin = m_bitmaps.Find(kSkinBitmap)) {
        QPainter painter(&m_face);
        painter.drawImage(0, 0, *skin);
    }
    update();
}

void CKestrunDlg::DrawBitmap(int bitmapId, int x, int y) {
    if (const QImage* bitmap = m_bitmaps.Find(bitmapId))
        PaintBitmapPart(bitmapId, x, y, bitmap->width(), bitmap->height());
}

void CKestrunDlg::PaintBitmapPart(int bitmapId, int x, int y, int width, int height) {
    const QImage* bitmap = m_bitmaps.Find(bitmapId);
    if (!bitmap || width <= 0 || height <= 0)
        return;
    QPainter painter(&m_face);
    painter.drawImage(QPoint(x, y), *bitmap, QRect(0, 0, width, height));
    update(x, y, width, height);
}

void CKestrunDlg::FillBlack(int left, int top, int right, int bottom) {
    QPainter painter(&m_face);
    painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), Qt::black);
    update(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CKestrunDlg::DrawTabText(int left, const std::string& name) {
    QPainter painter(&m_face);
    painter.setFont(m_listFont);
    painter.setPen(Qt::white);
    QRect box(left, listgeometry::kTabTextTop, listgeometry::kTabWidth,
              listgeometry::kTabTextBottom - listgeometry::kTabTextTop);
    // A name wider than its tab is cut at the tab's edges, not drawn over its neighbours.
    painter.setClipRect(box);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, FromGameText(name));
    update(box);
}

void CKestrunDlg::DrawListImage(const std::vector<SListRow>& rows) {
    using namespace listgeometry;
    // Composed off screen and copied in one step, so the rows never flicker.
    QImage list(kListWidth, kListHeight, QImage::Format_RGB32);
    list.fill(Qt::black);
    {
        QPainter painter(&list);
        painter.setFont(m_listFont);
        for (size_t r = 0; r < rows.size(); ++r) {
            const SRgb& c = rows[r].Colour;
            painter.setPen(QColor(c.red, c.green, c.blue));
            int top = kRowTextTop + kRowHeight * static_cast<int>(r);
            QRect box(kRowTextLeft, top, kRowTextRight - kRowTextLeft, kRowHeight);
            painter.setClipRect(box);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, FromGameText(rows[r].Name));
        }
    }
    QPainter painter(&m_face);
    painter.drawImage(kListX, kListY, list);
    update(kListX, kListY, kListWidth, kListHeight);
}

void CKestrunDlg::DrawProgressBars() {
    m_surface.TotalProgressBar().Draw(false);
    m_surface.FileProgressBar().Draw(false);
}

void CKestrunDlg::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawImage(area.topLeft(), m_face, area);
}

void CKestrunDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_list.EraseBackground();
}

// ---- input ---------------------------------------------------------------------------

void CKestrunDlg::mouseMoveEvent(QMouseEvent* event) {
    QPoint p = event->position().toPoint();
    m_list.OnMouseMove(p.x(), p.y(), event->buttons() & Qt::LeftButton);
    RefreshCursor();
    QDialog::mouseMoveEvent(event);
}

void CKestrunDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QPoint p = event->position().toPoint();
        m_list.OnLeftButtonDown(p.x(), p.y());
        RefreshCursor();
    }
    QDialog::mousePressEvent(event);
}

void CKestrunDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_list.OnLeftButtonUp();
    QDialog::mouseReleaseEvent(event);
}

void CKestrunDlg::wheelEvent(QWheelEvent* event) {
    QPoint p = event->position().toPoint();
    int distance = std::clamp(event->angleDelta().y(), -32768, 32767);
    m_list.OnMouseWheel(static_cast<int16_t>(distance), p.x(), p.y());
    QDialog::wheelEvent(event);
}

void CKestrunDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (m_pSystemMenu && !m_pSystemMenu->isEmpty())
        m_pSystemMenu->popup(event->globalPos());
}

void CKestrunDlg::RefreshCursor() {
    if (m_list.HandCursor() == m_bHandShown)
        return;
    m_bHandShown = m_list.HandCursor();
    if (m_bHandShown)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void CKestrunDlg::MoveWindowBy(int dx, int dy) { move(pos() + QPoint(dx, dy)); }

void CKestrunDlg::CaptureMouse() {
    // Where a client may not place its own window, the compositor moves it.
    if (QGuiApplication::platformName() == QLatin1String("wayland") && windowHandle())
        windowHandle()->startSystemMove();
    else
        grabMouse();
}

void CKestrunDlg::ReleaseMouse() {
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
}

void CKestrunDlg::OpenLink(int index) {
    const std::string& link = TheLauncherConfig().Link(static_cast<size_t>(index));
    if (!link.empty())
        m_services.OpenUrl(platform::GbkToUtf8(link));
}

void CKestrunDlg::ShowAboutBox() {
    CAboutDlg about(m_bitmaps, this);
    about.exec();
}

// ---- the worker's primitives ----------------------------------------------------------

bool CKestrunDlg::OnWindowThread() const { return QThread::currentThread() == thread(); }

void CKestrunDlg::RunOnWindowThread(const std::function<void()>& action) {
    if (OnWindowThread())
        action();
    else
        QMetaObject::invokeMethod(this, action, Qt::BlockingQueuedConnection);
}

QWidget* CKestrunDlg::Control(int controlId) const {
    if (auto label = m_labels.find(controlId); label != m_labels.end())
        return label->second;
    if (auto button = m_buttons.find(controlId); button != m_buttons.end())
        return button->second;
    return nullptr;
}

QLabel* CKestrunDlg::Label(int controlId) const {
    auto it = m_labels.find(controlId);
    return it == m_labels.end() ? nullptr : it->second;
}

CHoverButton* CKestrunDlg::Button(int controlId) const {
    auto it = m_buttons.find(controlId);
    return it == m_buttons.end() ? nullptr : it->second;
}

void CKestrunDlg::SetControlText(int controlId, const std::string& text) {
    RunOnWindowThread([this, controlId, &text] {
        if (QLabel* label = Label(controlId))
            label->setText(FromText(text));
        if (m_services.TextShown)
            m_services.TextShown(controlId, text);
    });
}

void CKestrunDlg::MoveControl(int controlId, int x, int y, int width, int height) {
    RunOnWindowThread([=, this] {
        if (QWidget* control = Control(controlId))
            control->setGeometry(x, y, width, height);
    });
}

void CKestrunDlg::EnableControl(int controlId, bool enabled) {
    RunOnWindowThread([=, this] {
        if (QWidget* control = Control(controlId))
            control->setEnabled(enabled);
    });
}

bool CKestrunDlg::GetBitmapSize(int bitmapId, int& width, int& height) {
    return m_bitmaps.Size(bitmapId, width, height);
}

void CKestrunDlg::DrawBitmapPart(int bitmapId, int x, int y, int width, int height) {
    if (OnWindowThread()) {
        PaintBitmapPart(bitmapId, x, y, width, height);
        return;
    }
    // The worker never waits for a bar: its draws are queued, a newer fill of the
    // same bar replaces an older one still waiting, and one flush is pending at most.
    QMutexLocker lock(&m_pendingMutex);
    auto same = std::find_if(m_pendingDraws.rbegin(), m_pendingDraws.rend(),
                             [&](const SPendingDraw& d) { return d.X == x && d.Y == y; });
    if (same != m_pendingDraws.rend() && same->BitmapId == bitmapId) {
        same->Width = width;
        same->Height = height;
    } else {
        m_pendingDraws.push_back({bitmapId, x, y, width, height});
    }
    if (!m_bFlushPosted) {
        m_bFlushPosted = true;
        // Repainting the window (news pages included) costs far more than moving a bar
        // by a pixel: bar draws are gathered for kBarFrameMilliseconds, so that the window
        // thread stays free to take the worker's texts at once.
        QMetaObject::invokeMethod(
            this, [this] { QTimer::singleShot(kBarFrameMilliseconds, this, &CKestrunDlg::FlushPendingDraws); },
            Qt::QueuedConnection);
    }
}

void CKestrunDlg::FlushPendingDraws() {
    std::vector<SPendingDraw> draws;
    {
        QMutexLocker lock(&m_pendingMutex);
        draws.swap(m_pendingDraws);
        m_bFlushPosted = false;
    }
    for (const SPendingDraw& d : draws)
        PaintBitmapPart(d.BitmapId, d.X, d.Y, d.Width, d.Height);
}

void CKestrunDlg::RequestServerListRedraw() {
    std::lock_guard lock(g_redrawTargetMutex);
    if (CKestrunDlg* window = g_pRedrawTarget)
        QMetaObject::invokeMethod(window, [window] { window->m_list.DrawServerList(false); }, Qt::QueuedConnection);
}

void CKestrunDlg::PostCloseRequest() {
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

int CKestrunDlg::ShowMessageBox(const std::string& text, const std::string& caption, unsigned /*style*/) {
    auto makeBox = [text, caption] {
        // No owner: the box belongs to no window, as the launcher's boxes always did.
        auto* box = new QMessageBox(QMessageBox::NoIcon, FromText(caption), FromText(text), QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        return box;
    };
    if (OnWindowThread()) {
        QPointer<QMessageBox> box = makeBox();
        box->exec();
        return kMessageBoxAnswerOk;
    }
    // From the worker: the box is shown without blocking the window thread, and only
    // the worker waits for the answer.
    auto answered = std::make_shared<std::promise<int>>();
    auto once = std::make_shared<std::once_flag>();
    std::future<int> answer = answered->get_future();
    QMetaObject::invokeMethod(
        this,
        [makeBox, answered, once] {
            QMessageBox* box = makeBox();
            auto reply = [answered, once] { std::call_once(*once, [&] { answered->set_value(kMessageBoxAnswerOk); }); };
            QObject::connect(box, &QMessageBox::finished, box, reply);
            QObject::connect(box, &QObject::destroyed, reply);
            box->show();
        },
        Qt::QueuedConnection);
    return answer.get();
}
