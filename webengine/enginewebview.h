#ifndef QUILLET_WEBENGINE_ENGINEWEBVIEW_H
#define QUILLET_WEBENGINE_ENGINEWEBVIEW_H

#include <QPointer>
#include <QWebEngineView>

class EngineWebPage;

// A view of the app on Qt WebEngine, the main window's or a pop-up's, with
// its own EngineWebPage. Its context menu offers only the inspector, and only
// when developer extras are on; F11 toggles full screen, Escape leaves a
// document's.
class EngineWebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit EngineWebView(QWidget* parent = nullptr);
    ~EngineWebView() override;

    EngineWebPage* enginePage() const { return m_page; }

    // Whether the inspector is offered, for every view (off by default).
    static void setDeveloperExtras(bool on);
    static bool developerExtras();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void inspect();

    EngineWebPage* m_page;  // child object
    QPointer<QWebEngineView> m_inspector;
};

#endif
