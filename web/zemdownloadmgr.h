#ifndef QUILLET_WEB_ZEMDOWNLOADMGR_H
#define QUILLET_WEB_ZEMDOWNLOADMGR_H

#include <QObject>
#include <QPointer>
#include <QUrl>

class QSaveFile;
class QNetworkReply;
class QProgressDialog;
class QWebPage;
class QWidget;

// Saves one response that the page cannot display: asks for a file name,
// fetches the URL again through the page's network access manager and writes
// the body as it arrives, with a progress dialog that can cancel. The body
// goes to a temporary file in the target folder that takes the chosen name
// only once it is complete: until then a file of that name keeps its old
// content, and a killed program leaves nothing partial under that name.
//
// Every download ends with downloadCompleted(this), whatever the ending
// (saved, refused, abandoned, cancelled or failed), so the page that listens
// for it releases the manager. Its dialog is released with it.
class ZemDownloadMgr : public QObject {
    Q_OBJECT
public:
    explicit ZemDownloadMgr(QObject* parent = nullptr);
    ~ZemDownloadMgr() override;

    // Reads only the URL of reply; the view of page parents the dialogs and
    // its network access manager carries the transfer.
    void startDownload(QNetworkReply* reply, QWebPage* page);
    // The same for a URL, with the name the page proposed (a link's
    // `download` attribute; empty when it proposed none). A blob: URL is
    // read through the page's BlobChannel.
    void startDownload(const QUrl& url, const QString& suggestedName, QWebPage* page);

    // The file name offered in the save dialog: the proposed name without
    // folders, else the last segment of the URL path; for data: and blob:
    // URLs "download" with the extension of the content's type.
    static QString proposedFileName(const QUrl& url, const QString& suggestedName,
                                    const QString& contentType = QString());

signals:
    // Emitted once, as the manager's last action: the receiver may delete it.
    void downloadCompleted(ZemDownloadMgr* manager);

private slots:
    void fileReadyRead();
    void fileDownloadFinished();
    void updateFileReadProgress(qint64 bytesRead, qint64 totalBytes);
    void cancelFileDownload();

private:
    QString proposedFilePath(const QString& fileName) const;
    bool openOutputFile(const QString& filePath);
    void startTransfer(const QUrl& url, QWebPage* page);
    void discardOutputFile();
    void warn(const QString& text, const QString& reason);
    void releaseTransfer();
    void releaseDialog();
    void fail(const QString& reason);
    void finishLater();

    QSaveFile* m_file = nullptr;
    QNetworkReply* m_reply = nullptr;
    QPointer<QProgressDialog> m_progressDialog;
    bool m_cancelled = false;
    QPointer<QWidget> m_view;
};

#endif
