#include "launcher/MyHtmlView.h"

#include <unistd.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QUrl>
#include <QWebEngineSettings>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

constexpr int kNewsPageControlId = 9090;

// The pages are all the engine may contact: nothing in the background, no updates
// of its parts, no sync, no first-run work. Drawn in software, as the launcher runs
// on machines without a usable GPU.
constexpr const char* kQuietFlags[] = {"--disable-background-networking", "--disable-component-update",
                                       "--disable-sync", "--no-first-run", "--disable-gpu"};

bool HasFlag(const std::string& flags, const std::string& flag) {
    std::istringstream words(flags);
    for (std::string word; words >> word;) {
        if (word == flag)
            return true;
    }
    return false;
}

// Added to what the user set, never in place of it.
void AddChromiumFlags() {
    const char* current = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string flags = current ? current : "";
    for (const char* flag : kQuietFlags) {
        if (HasFlag(flags, flag))
            continue;
        if (!flags.empty())
            flags += ' ';
        flags += flag;
    }
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
}

}  // namespace

void CMyHtmlView::PrepareWebEngine() {
    AddChromiumFlags();
    // The engine's sandbox refuses to start for the superuser; only then is it off.
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

CMyHtmlView::CMyHtmlView(QWidget* parent, int left, int top, int right, int bottom) : QWebEngineView(parent) {
    setObjectName(QStringLiteral("newsPage%1").arg(kNewsPageControlId));
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    // Neither the browser's menu nor, passed on to the window, the window's own.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setGeometry(left, top, right - left, bottom - top);
    connect(this, &QWebEngineView::loadStarted, this, [this] { m_bLoadFinished = false; });
    connect(this, &QWebEngineView::loadFinished, this, [this] { m_bLoadFinished = true; });
    show();
}

void CMyHtmlView::Navigate(const std::string& address) {
    if (address.empty()) {
        load(QUrl(QStringLiteral("about:blank")));
        return;
    }
    load(QUrl::fromUserInput(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()))));
}

void CMyHtmlView::contextMenuEvent(QContextMenuEvent* event) {
    // Handled: the browser shows no menu of its own.
    event->accept();
}
