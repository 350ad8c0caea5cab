#include "enginedownload.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QNetworkReply>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineDownloadItem>
#include <QWebEnginePage>

namespace {

// What FileDownload reads per step, as it reads a network reply's buffer.
constexpr qint64 kChunk = 1024 * 1024;

// Where the engine puts bodies while they arrive: the app's cache folder.
QString bodyFolderTemplate()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(cache);
    return cache + QStringLiteral("/download-XXXXXX");
}

// The body of an engine download as a reply: progress while the engine
// fetches into a temporary file, then the file's content chunk by chunk. The
// temporary file goes with the reply.
class EngineDownloadReply : public QNetworkReply {
public:
    EngineDownloadReply(QWebEngineDownloadItem* item, QObject* parent)
        : QNetworkReply(parent)
        , m_id(item->id())
    {
        setUrl(item->url());
        setOperation(QNetworkAccessManager::GetOperation);
        QNetworkReply::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        s_running.insert(m_id, this);
        follow(item);
    }

    ~EngineDownloadReply() override
    {
        s_running.remove(m_id);
        s_ended.insert(m_id);
        if (m_item && !m_item->isFinished())
            m_item->cancel();
    }

    // The reply of a download the engine takes up again, if it is running.
    static EngineDownloadReply* running(quint32 id) { return s_running.value(id); }
    // Whether the download has ended here: the engine may still try it again.
    static bool ended(quint32 id) { return s_ended.contains(id); }

    // The engine takes an interrupted transfer up again by itself, as a new
    // item of the same download: it goes on into the same file.
    void follow(QWebEngineDownloadItem* item)
    {
        if (m_item)
            m_item->disconnect(this);
        m_item = item;
        item->setDownloadDirectory(m_folder.path());
        item->setDownloadFileName(QStringLiteral("body"));
        connect(item, &QWebEngineDownloadItem::downloadProgress, this,
                &QNetworkReply::downloadProgress);
        connect(item, &QWebEngineDownloadItem::finished, this, &EngineDownloadReply::engineFinished);
        // An interruption it does not take up again is reported as a state,
        // not as the end of the item.
        connect(item, &QWebEngineDownloadItem::stateChanged, this,
                [this](QWebEngineDownloadItem::DownloadState state) {
                    if (state == QWebEngineDownloadItem::DownloadInterrupted)
                        engineFinished();
                });
        item->accept();
    }

    void abort() override
    {
        if (isFinished())
            return;
        if (m_item)
            m_item->cancel();
        m_file.close();
        end(OperationCanceledError, tr("Operation canceled"));
    }

    qint64 bytesAvailable() const override
    {
        return QNetworkReply::bytesAvailable() + qMin(m_stepLeft, m_file.bytesAvailable());
    }

protected:
    // At most kChunk per step; the next step comes from the event loop, so
    // a large file is never read into memory whole.
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (!m_file.isOpen())
            return isFinished() ? -1 : 0;
        const qint64 count = m_file.read(data, qMin(maxSize, m_stepLeft));
        if (count > 0)
            m_stepLeft -= count;
        if ((m_stepLeft == 0 || m_file.atEnd()) && !m_stepScheduled) {
            m_stepScheduled = true;
            QTimer::singleShot(0, this, [this] { nextStep(); });
        }
        return count == 0 && m_file.atEnd() ? -1 : count;
    }

private:
    void engineFinished()
    {
        if (isFinished())
            return;
        if (m_item->state() != QWebEngineDownloadItem::DownloadCompleted) {
            // After its own attempts to take a dropped transfer up again, the
            // engine names the user as the reason: the user did nothing.
            end(UnknownNetworkError,
                m_item->interruptReason() == QWebEngineDownloadItem::UserCanceled
                    ? tr("The transfer was interrupted.")
                    : m_item->interruptReasonString());
            return;
        }
        m_file.setFileName(m_item->downloadDirectory() + QLatin1Char('/')
                           + m_item->downloadFileName());
        if (!m_file.open(QIODevice::ReadOnly)) {
            end(UnknownContentError, m_file.errorString());
            return;
        }
        nextStep();
    }

    void nextStep()
    {
        m_stepScheduled = false;
        if (isFinished())
            return;
        if (m_file.atEnd()) {
            m_file.close();
            end(NoError, QString());
            return;
        }
        m_stepLeft = kChunk;
        emit readyRead();
    }

    void end(NetworkError error, const QString& reason)
    {
        if (error != NoError)
            setError(error, reason);
        setFinished(true);
        if (error != NoError)
            emit errorOccurred(error);
        emit finished();
    }

    static QHash<quint32, EngineDownloadReply*> s_running;
    static QSet<quint32> s_ended;

    const quint32 m_id;
    QPointer<QWebEngineDownloadItem> m_item;
    QTemporaryDir m_folder{bodyFolderTemplate()};
    QFile m_file;
    qint64 m_stepLeft = 0;
    bool m_stepScheduled = false;
};

QHash<quint32, EngineDownloadReply*> EngineDownloadReply::s_running;
QSet<quint32> EngineDownloadReply::s_ended;

}  // namespace

void EngineDownload::start(QWebEngineDownloadItem* item)
{
    if (EngineDownloadReply* reply = EngineDownloadReply::running(item->id())) {
        reply->follow(item);
        return;
    }
    if (EngineDownloadReply::ended(item->id())) {
        item->cancel();
        return;
    }

    QWidget* view = item->page() ? item->page()->view() : nullptr;
    auto* download = new EngineDownload(item, view);
    connect(download, &FileDownload::downloadCompleted, download, &QObject::deleteLater);
    download->FileDownload::start(view, item->url(), item->suggestedFileName(), item->mimeType());
}

EngineDownload::EngineDownload(QWebEngineDownloadItem* item, QObject* parent)
    : FileDownload(parent)
    , m_item(item)
{
}

QNetworkReply* EngineDownload::fetch(const QUrl&)
{
    return new EngineDownloadReply(m_item, this);
}

void EngineDownload::refused(const QUrl&)
{
    m_item->cancel();
}
