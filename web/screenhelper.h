#ifndef QUILLET_WEB_SCREENHELPER_H
#define QUILLET_WEB_SCREENHELPER_H

#include <QObject>
#include <QString>

class QWebPage;
class QWidget;

// The native half of the window-control interface that page scripts see as
// `corvane_skyfold_zem`. Every slot acts on the top-level window holding the
// page's view.
class ScreenHelper : public QObject {
    Q_OBJECT
public:
    ScreenHelper(QWebPage* page, QObject* parent);
    ~ScreenHelper() override;

    // The one-line script that defines `corvane.vesk.casewright` on top of
    // the native object.
    static QString namespaceScript();

public slots:
    void setFullScreen();
    void exitFullScreen();
    void exitApplication();
    // Sizes are script numbers. A call whose values are not both finite and
    // positive is ignored; values larger than the largest screen are clamped
    // to it.
    void setMaxWindowSize(double maxw, double maxh);
    void setMinWindowSize(double minw, double minh);

protected:
    bool event(QEvent* event) override;

private:
    QWidget* targetWindow() const;

    QWebPage* m_page;  // not owned
};

#endif
