#ifndef QUILLET_WEB_SITESPECIFICWEBPAGE_H
#define QUILLET_WEB_SITESPECIFICWEBPAGE_H

#include "webcore/pageconsole.h"

#include <QList>
#include <QMutex>
#include <QRect>
#include <QWebPage>

class BlobChannel;
class DocumentFullScreen;
class FileDownload;
class QNetworkReply;
class QWebFrame;
class QWebFullScreenRequest;
class ScreenHelper;
class ZemDownloadMgr;

// The page every view creates for itself: desktop-program policy for the
// packaged application. It gives every main-frame document the window-control
// bridge, keeps history from stepping back to the blank first page, hands
// "mailto:" links to the desktop, opens pop-ups as top-level windows, lets
// scripts print, move, resize and close their window, and passes content the
// view cannot show to a download manager, as well as links that ask to be
// downloaded (see BlobChannel). The HTML5 full-screen requests of its
// documents act on its window as the bridge does; F11 toggles full screen and
// Escape leaves a document's full screen. Console errors and warnings of its
// documents go to standard error (every console line with QUILLET_CONSOLE=1).
class SiteSpecificWebPage : public QWebPage {
    Q_OBJECT
public:
    explicit SiteSpecificWebPage(QObject* parent = nullptr);
    ~SiteSpecificWebPage() override;

    // Where page errors go besides standard error (the store build's log).
    using ErrorLog = PageConsole::ErrorLog;
    static void setErrorLog(const ErrorLog& log);

    // Whether a document of this page holds the HTML5 full screen.
    bool isDocumentFullScreen() const;

    bool event(QEvent* event) override;

protected:
    QWebPage* createWindow(QWebPage::WebWindowType type) override;
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 QWebPage::NavigationType type) override;

private slots:
    void closeJSWindow();
    void printFrame(QWebFrame* webFrame);
    void changePageGeometry(const QRect& rectGeom);
    void downloadContent(QNetworkReply* reply);
    void cleanUpDownloadMgr(FileDownload* mgr);
    void addCasewrightJSObject();
    void showConsoleMessage(QWebPage::MessageSource source, QWebPage::MessageLevel level,
                            const QString& message, int lineNumber, const QString& sourceID);
    void applyFullScreenRequest(QWebFullScreenRequest request);
    void startLinkDownload(const QUrl& url, const QString& suggestedName);

private:
    QWidget* targetWindow() const;
    void closeIfNeverLoaded(QWebFrame* frame);
    ZemDownloadMgr* newDownloadMgr();
    void leaveDocumentFullScreen();

    BlobChannel* m_blobChannel = nullptr;        // child object
    DocumentFullScreen* m_fullScreen = nullptr;  // child object

    ScreenHelper* m_screenHelper = nullptr;          // child object
    QList<FileDownload*>* m_downloadMgrs = nullptr;  // managers not yet completed
    QMutex m_downloadMgrsLock;
};

#endif
