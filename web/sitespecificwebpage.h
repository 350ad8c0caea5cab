#ifndef QUILLET_WEB_SITESPECIFICWEBPAGE_H
#define QUILLET_WEB_SITESPECIFICWEBPAGE_H

#include <QList>
#include <QMutex>
#include <QRect>
#include <QWebPage>

class QNetworkReply;
class QWebFrame;
class ScreenHelper;
class ZemDownloadMgr;

// The page every view creates for itself: desktop-program policy for the
// packaged application. It gives every main-frame document the window-control
// bridge, keeps history from stepping back to the blank first page, hands
// "mailto:" links to the desktop, opens pop-ups as top-level windows, lets
// scripts print, move, resize and close their window, and passes content the
// view cannot show to a download manager.
class SiteSpecificWebPage : public QWebPage {
    Q_OBJECT
public:
    explicit SiteSpecificWebPage(QObject* parent = nullptr);
    ~SiteSpecificWebPage() override;

protected:
    QWebPage* createWindow(QWebPage::WebWindowType type) override;
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 QWebPage::NavigationType type) override;

private slots:
    void closeJSWindow();
    void printFrame(QWebFrame* webFrame);
    void changePageGeometry(const QRect& rectGeom);
    void downloadContent(QNetworkReply* reply);
    void cleanUpDownloadMgr(ZemDownloadMgr* mgr);
    void addCasewrightJSObject();

private:
    QWidget* targetWindow() const;
    void closeIfNeverLoaded(QWebFrame* frame);

    ScreenHelper* m_screenHelper = nullptr;           // child object
    QList<ZemDownloadMgr*>* m_downloadMgrs = nullptr;  // managers not yet completed
    QMutex m_downloadMgrsLock;
};

#endif
