#ifndef QUILLET_WEBCORE_FILEDOWNLOAD_H
#define QUILLET_WEBCORE_FILEDOWNLOAD_H

#include <QObject>
#include <QPointer>
#include <QUrl>

class QSaveFile;
class QNetworkReply;
class QProgressDialog;
class QWidget;

// Saves one response that a page cannot display, whatever the engine: asks
// for a file name, writes the body of the reply that fetch() gives as it
// arrives, with a progress dialog that can cancel. The body goes to a
// temporary file in the target folder that takes the chosen name only once it
// is complete: until then a file of that name keeps its old content, and a
// killed program leaves nothing partial under that name.
//
// Every download ends with downloadCompleted(this), whatever the ending
// (saved, refused, abandoned, cancelled or failed), so whoever listens for it
// releases the download. Its dialog is released with it.
class FileDownload : public QObject {
    Q_OBJECT
public:
    explicit FileDownload(QObject* parent = nullptr);
    ~FileDownload() override;

    // The file name offered in the save dialog: the proposed name without
    // folders, else the last segment of the URL path; for data: and blob:
    // URLs "download" with the extension of the content's type.
    static QString proposedFileName(const QUrl& url, const QString& suggestedName,
                                    const QString& contentType = QString());

signals:
    // Emitted once, as the download's last action: the receiver may delete it.
    void downloadCompleted(FileDownload* download);

protected:
    // Asks where to save url, with the dialogs parented by view, and fetches
    // it there. contentType names the type of a blob: URL's content.
    void start(QWidget* view, const QUrl& url, const QString& suggestedName,
               const QString& contentType);
    // The reply that carries url's body; this object releases it.
    virtual QNetworkReply* fetch(const QUrl& url) = 0;
    // The user chose no file for url, or it could not be created.
    virtual void refused(const QUrl& url);

private slots:
    void fileReadyRead();
    void fileDownloadFinished();
    void updateFileReadProgress(qint64 bytesRead, qint64 totalBytes);
    void cancelFileDownload();

private:
    QString proposedFilePath(const QString& fileName) const;
    bool openOutputFile(const QString& filePath);
    void startTransfer(const QUrl& url);
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
