#include "enginedownload.h"

#include <QDir>
#include <QFile>
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
        , m_item(item)
    {
        setUrl(item->url());
        setOperation(QNetworkAccessManager::GetOperation);
        QNetworkReply::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        item->setDownloadDirectory(m_folder.path());
        item->setDownloadFileName(QStringLiteral("body"));
        connect(item, &QWebEngineDownloadItem::downloadProgress, this,
                &QNetworkReply::downloadProgress);
        connect(item, &QWebEngineDownloadItem::finished, this, &EngineDownloadReply::engineFinished);
        item->accept();
    }

    ~EngineDownloadReply() override
    {
        if (m_item && !m_item->isFinished())
            m_item->cancel();
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
            end(UnknownNetworkError, m_item->interruptReasonString());
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

    QPointer<QWebEngineDownloadItem> m_item;
    QTemporaryDir m_folder{bodyFolderTemplate()};
    QFile m_file;
    qint64 m_stepLeft = 0;
    bool m_stepScheduled = false;
};

}  // namespace

void EngineDownload::start(QWebEngineDownloadItem* item)
{
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
