#pragma once
// A news page fitted into a fixed rectangle of the skinned window: a web view
// without scroll bars, border or context menu, so the page looks like part of the
// skin. It only displays; the launcher never reads what happens inside it.
#include <QWebEngineView>
#include <string>

class CMyHtmlView : public QWebEngineView {
    Q_OBJECT
public:
    // A visible child of `parent` from (left, top) up to, not including, (right, bottom).
    CMyHtmlView(QWidget* parent, int left, int top, int right, int bottom);

    // Loads the address; an empty one still navigates, to a blank page.
    void Navigate(const std::string& address);
    // The last navigation has come to its end (loaded or failed).
    bool LoadFinished() const { return m_bLoadFinished; }

    // Sets up the web engine's process-wide options; must run before the
    // application object exists. Safe to call more than once.
    static void PrepareWebEngine();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool m_bLoadFinished = false;
};
