#include "filedownload.h"

#include "appidentity.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QNetworkReply>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include <limits>

namespace {
// Bounded read buffer of the transfer: the socket is throttled instead of the
// reply buffering a fast body in memory, and each chunk goes straight to disk.
constexpr qint64 kReadBufferSize = 1024 * 1024;
}  // namespace

FileDownload::FileDownload(QObject* parent)
    : QObject(parent)
{
}

FileDownload::~FileDownload()
{
    // Released here as well in case the page goes while a download runs.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    discardOutputFile();
    releaseDialog();
}

void FileDownload::start(QWidget* view, const QUrl& url, const QString& suggestedName,
                         const QString& contentType)
{
    m_view = view;
    m_cancelled = false;
    const QString fileName = proposedFileName(url, suggestedName, contentType);
    if (fileName.isEmpty()) {
        QPointer<FileDownload> self(this);
        QMessageBox::information(m_view, tr("Download Error"), tr("Invalid File. Cannot download."),
                                 QMessageBox::Ok, QMessageBox::NoButton);
        if (self)
            finishLater();
        return;
    }

    QPointer<FileDownload> self(this);
    const QString target = QFileDialog::getSaveFileName(m_view, tr("Save File"),
                                                        proposedFilePath(fileName), QString());
    if (!self)
        return;
    if (!openOutputFile(target)) {
        refused(url);
        finishLater();
        return;
    }
    startTransfer(url);
}

QString FileDownload::proposedFileName(const QUrl& url, const QString& suggestedName,
                                       const QString& contentType)
{
    // A page's name never chooses a folder, nor makes a hidden file.
    QString name = suggestedName;
    name.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    name.remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")));
    name = name.trimmed().remove(QRegularExpression(QStringLiteral("^\\.+")));
    if (!name.isEmpty())
        return name;

    const QString scheme = url.scheme();
    if (scheme != QLatin1String("data") && scheme != QLatin1String("blob"))
        return QFileInfo(url.path(QUrl::FullyDecoded)).fileName();
    QString type = contentType;
    if (scheme == QLatin1String("data"))
        type = url.path(QUrl::FullyDecoded)
                   .section(QLatin1Char(','), 0, 0)
                   .section(QLatin1Char(';'), 0, 0);
    const QString suffix
        = QMimeDatabase().mimeTypeForName(type.trimmed().toLower()).preferredSuffix();
    return suffix.isEmpty() ? QStringLiteral("download") : QStringLiteral("download.") + suffix;
}

QString FileDownload::proposedFilePath(const QString& fileName) const
{
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + QDir::separator()
           + fileName;
}

// An empty path is a dismissed dialog: nothing to say. A file that cannot be
// created (a read-only folder, no space) is an error the user is told about.
bool FileDownload::openOutputFile(const QString& filePath)
{
    if (filePath.isEmpty())
        return false;
    m_file = new QSaveFile(filePath);
    if (m_file->open(QIODevice::WriteOnly))
        return true;
    warn(tr("The file %1 cannot be created. Nothing was saved.")
             .arg(QDir::toNativeSeparators(filePath)),
         m_file->errorString());
    delete m_file;
    m_file = nullptr;
    return false;
}

void FileDownload::refused(const QUrl&)
{
}

void FileDownload::startTransfer(const QUrl& url)
{
    // Created only now: a progress dialog shows itself a few seconds after
    // construction, which must not happen for a download that never starts.
    m_progressDialog = new QProgressDialog(m_view, Qt::WindowFlags());
    m_progressDialog->setWindowTitle(AppIdentity::current().title());
    m_progressDialog->setLabelText(tr("Downloading File...."));

    m_reply = fetch(url);
    m_reply->setReadBufferSize(kReadBufferSize);

    connect(m_reply, &QNetworkReply::finished, this, &FileDownload::fileDownloadFinished);
    connect(m_reply, &QNetworkReply::readyRead, this, &FileDownload::fileReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &FileDownload::updateFileReadProgress);
    connect(m_progressDialog, &QProgressDialog::canceled, this, &FileDownload::cancelFileDownload);
}

void FileDownload::fileReadyRead()
{
    if (!m_file || !m_reply)
        return;
    const QByteArray chunk = m_reply->readAll();
    if (m_file->write(chunk) != chunk.size())
        fail(m_file->errorString());
}

void FileDownload::updateFileReadProgress(qint64 bytesRead, qint64 totalBytes)
{
    if (m_cancelled || !m_progressDialog)
        return;
    // The dialog counts in int: large totals are scaled down so that both
    // numbers fit, keeping the proportion. An unknown total (-1) passes as is.
    qint64 scale = 1;
    while (totalBytes / scale > std::numeric_limits<int>::max()
           || bytesRead / scale > std::numeric_limits<int>::max())
        scale *= 1024;
    m_progressDialog->setMaximum(int(totalBytes < 0 ? totalBytes : totalBytes / scale));
    m_progressDialog->setValue(int(bytesRead / scale));
}

void FileDownload::cancelFileDownload()
{
    if (!m_reply || m_cancelled)
        return;
    m_cancelled = true;
    // Finishes the reply at once, which runs fileDownloadFinished(); the
    // download may be gone after this call.
    m_reply->abort();
}

void FileDownload::fileDownloadFinished()
{
    if (!m_reply)
        return;
    if (m_cancelled) {
        discardOutputFile();
        releaseTransfer();
        releaseDialog();
        emit downloadCompleted(this);
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(m_reply->errorString());
        return;
    }
    // A last chunk may still wait in the reply's buffer; writing it may fail,
    // which ends (and may release) this download.
    if (m_reply->bytesAvailable() > 0) {
        QPointer<FileDownload> self(this);
        fileReadyRead();
        if (!self || !m_reply)
            return;
    }
    if (m_progressDialog)
        m_progressDialog->hide();
    // The complete file replaces any file of that name in one step.
    if (!m_file->commit()) {
        fail(m_file->errorString());
        return;
    }
    releaseTransfer();
    delete m_file;
    m_file = nullptr;
    releaseDialog();
    emit downloadCompleted(this);
}

// Ends a transfer that cannot produce a complete file: nothing partial is
// left on disk, a file it was to replace is untouched, the user is told, and
// the download reports completion.
void FileDownload::fail(const QString& reason)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    discardOutputFile();
    releaseTransfer();
    releaseDialog();
    warn(tr("The download failed. Nothing was saved."), reason);
    emit downloadCompleted(this);
}

// A warning that does not wait for the user: the download may go meanwhile.
void FileDownload::warn(const QString& text, const QString& reason)
{
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Download Error"), text, QMessageBox::Ok,
                                m_view);
    box->setInformativeText(reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Reports completion from the event loop: used where the page may still be
// inside the call that started this download.
void FileDownload::finishLater()
{
    QTimer::singleShot(0, this, [this] { emit downloadCompleted(this); });
}

void FileDownload::discardOutputFile()
{
    if (!m_file)
        return;
    m_file->cancelWriting();
    delete m_file;  // removes the temporary file
    m_file = nullptr;
}

void FileDownload::releaseTransfer()
{
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    m_reply->deleteLater();
    m_reply = nullptr;
}

void FileDownload::releaseDialog()
{
    if (!m_progressDialog)
        return;
    m_progressDialog->disconnect(this);
    m_progressDialog->hide();
    m_progressDialog->deleteLater();
    m_progressDialog = nullptr;
}
