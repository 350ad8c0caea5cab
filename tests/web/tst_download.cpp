// Downloads through a real view and page against a loopback HTTP server. The
// save dialog and message boxes are driven from a timer that finds the active
// modal widget, as a user would answer them.
#include "tests/support/isolatedhome.h"
#include "tests/support/recordinghttpserver.h"
#include "web/sitespecificwebview.h"
#include "web/zemdownloadmgr.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWebPage>

#include <csignal>
#include <sys/resource.h>

namespace {
using Response = RecordingHttpServer::Response;

Response binary(qint64 size)
{
    Response response;
    response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/octet-stream")));
    response.streamedSize = size;
    return response;
}

// Answers modal dialogs: a save dialog gets `target` (or is dismissed when it
// is empty), a message box is recorded and closed.
class DialogDriver : public QObject {
public:
    explicit DialogDriver(const QString& target)
        : m_target(target)
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogDriver::answer);
        m_timer.start(20);
    }

    QStringList proposed;  // the paths save dialogs offered
    QStringList messages;  // "title|text" of message boxes

private:
    void answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            proposed << dialog->selectedFiles().value(0);
            if (m_target.isEmpty()) {
                dialog->reject();
            } else {
                // Typed as a user would; the dialog resolves it when accepted.
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(m_target);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->windowTitle() + '|' + box->text();
            box->done(QMessageBox::Ok);
        }
    }

    QString m_target;
    QTimer m_timer;
};
}

class TestDownload : public QObject {
    Q_OBJECT
    IsolatedHome* m_home = nullptr;
    RecordingHttpServer* m_server = nullptr;
    SiteSpecificWebView* m_view = nullptr;
    QString m_target;
    QUrl m_opened;

    QWebPage* page() const { return m_view->page(); }
    int managers() const { return page()->findChildren<ZemDownloadMgr*>().size(); }
    QUrl url(const QByteArray& target) const { return QUrl(m_server->baseUrl() + target); }

    QList<QNetworkReply*> replies() const
    {
        return page()->networkAccessManager()->findChildren<QNetworkReply*>();
    }

    // Opens the URL and waits until the page has handed the reply on.
    void open(const QByteArray& target)
    {
        QSignalSpy unsupported(page(), &QWebPage::unsupportedContent);
        m_opened = url(target);
        m_view->load(m_opened);
        QVERIFY(unsupported.wait(10000));
    }

    // Runs the transfer reply's signals through `onProgress` once the manager
    // has issued it, and waits until it finishes.
    void watchTransfer(const std::function<void(QNetworkReply*, qint64, qint64)>& onProgress,
                       bool* deletedAtFinish = nullptr, bool stallFirstChunk = false)
    {
        // The manager's own request: WebKit's requests name their frame.
        QNetworkReply* transfer = nullptr;
        const auto issued = [&] {
            for (QNetworkReply* reply : replies())
                if (!reply->request().originatingObject() && reply->url() == m_opened)
                    transfer = reply;
            return transfer != nullptr;
        };
        QTRY_VERIFY_WITH_TIMEOUT(issued(), 10000);
        QPointer<ZemDownloadMgr> manager = page()->findChild<ZemDownloadMgr*>();
        bool finished = false;
        connect(transfer, &QNetworkReply::downloadProgress, this,
                [&, transfer](qint64 done, qint64 total) { onProgress(transfer, done, total); });
        // Progress is reported at most every 100 ms: a stall after the first
        // chunk makes sure some is reported before the end.
        bool stalled = !stallFirstChunk;
        connect(transfer, &QNetworkReply::readyRead, this, [&] {
            if (!stalled)
                QThread::msleep(150);
            stalled = true;
        });
        // Connected after the manager, so this runs once its slot has returned.
        connect(transfer, &QNetworkReply::finished, this, [&] {
            finished = true;
            if (deletedAtFinish)
                *deletedAtFinish = manager.isNull();
        });
        QTRY_VERIFY_WITH_TIMEOUT(finished, 20000);
    }

    QStringList savedFiles() const { return QDir(m_home->home()).entryList(QDir::Files); }

    QProgressDialog* progressDialog() const { return m_view->findChild<QProgressDialog*>(); }

private slots:
    void initTestCase() { qRegisterMetaType<QNetworkReply*>(); }

    void init()
    {
        m_home = new IsolatedHome;
        m_target = m_home->home() + "/saved.bin";
        m_server = new RecordingHttpServer;
        QVERIFY(m_server->listen());
        m_view = new SiteSpecificWebView;
    }

    void cleanup()
    {
        delete m_view;
        delete m_server;
        delete m_home;
    }

    void replyWithoutContentTypeIsIgnored()
    {
        m_server->setHandler([](const RecordingHttpServer::Request&) {
            Response response;
            response.body = QByteArray(4096, '\0');
            return response;
        });
        DialogDriver driver(m_target);
        open("/files/data.bin");
        QTest::qWait(300);
        QCOMPARE(managers(), 0);
        QVERIFY(driver.proposed.isEmpty() && driver.messages.isEmpty());
        QCOMPARE(m_server->requestsTo("/files/data.bin").size(), 1);
    }

    void pathWithoutFileNameIsRefused()
    {
        m_server->setHandler([](const RecordingHttpServer::Request&) { return binary(100); });
        DialogDriver driver(m_target);
        open("/files/");
        QTRY_COMPARE(driver.messages, QStringList({"Download Error|Invalid File. Cannot download."}));
        QVERIFY(driver.proposed.isEmpty());
        QTRY_COMPARE(managers(), 0);
        QCOMPARE(m_server->requestsTo("/files/").size(), 1);
    }

    void proposedNameComesFromTheDecodedPath_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("name");
        QTest::newRow("query and fragment dropped") << QByteArray("/files/report.pdf?x=1#y")
                                                    << "report.pdf";
        QTest::newRow("percent-encoding decoded") << QByteArray("/files/annual%20report%C3%A9.pdf")
                                                  << QString::fromUtf8("annual reporté.pdf");
    }

    // Dismissing the dialog as well: no file, no message, no second request.
    void proposedNameComesFromTheDecodedPath()
    {
        QFETCH(QByteArray, target);
        QFETCH(QString, name);
        m_server->setHandler([](const RecordingHttpServer::Request&) { return binary(100); });
        DialogDriver driver(QString{});
        open(target);
        QTRY_COMPARE(driver.proposed, QStringList(m_home->home() + '/' + name));
        QTRY_COMPARE(managers(), 0);
        QVERIFY(driver.messages.isEmpty());
        QCOMPARE(savedFiles(), QStringList());
        QCOMPARE(m_server->requestsTo(url(target).path(QUrl::FullyEncoded).toUtf8()).size(), 1);
    }

    void finishedDownloadHoldsExactlyTheBytesSent_data()
    {
        QTest::addColumn<bool>("lengthKnown");
        QTest::newRow("with length") << true;
        QTest::newRow("unknown length") << false;
    }

    void finishedDownloadHoldsExactlyTheBytesSent()
    {
        QFETCH(bool, lengthKnown);
        const qint64 size = 16 * 1024 * 1024 + 123;
        m_server->setHandler([&](const RecordingHttpServer::Request&) {
            Response response = binary(size);
            response.omitContentLength = !lengthKnown;
            return response;
        });
        DialogDriver driver(m_target);
        open("/files/big.bin");
        QList<qint64> totals;
        QList<int> maxima;
        bool deletedAtFinish = false;
        watchTransfer(
            [&](QNetworkReply*, qint64, qint64 total) {
                totals << total;
                if (QProgressDialog* dialog = progressDialog())
                    maxima << dialog->maximum();
            },
            &deletedAtFinish, true);
        QVERIFY2(deletedAtFinish, "the manager outlived the transfer's finished signal");
        QCOMPARE(managers(), 0);
        QVERIFY(!totals.isEmpty());
        QCOMPARE(totals.first(), lengthKnown ? size : qint64(-1));
        QCOMPARE(maxima.first(), lengthKnown ? int(size) : -1);

        QFile saved(m_target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.size(), size);
        QVERIFY(saved.readAll() == RecordingHttpServer::pattern(0, size));
        QCOMPARE(m_server->requestsTo("/files/big.bin").size(), 2);
        // Both replies, the page's and the transfer, are released.
        QTRY_COMPARE(page()->networkAccessManager()->findChildren<QNetworkReply*>().size(), 0);
        QTRY_VERIFY(!progressDialog());
    }

    void cancelRemovesThePartialFile()
    {
        m_server->setHandler([](const RecordingHttpServer::Request&) {
            return binary(512 * 1024 * 1024);
        });
        DialogDriver driver(m_target);
        open("/files/huge.bin");
        QPointer<QProgressDialog> dialog;
        bool clicked = false;
        watchTransfer([&](QNetworkReply*, qint64 done, qint64) {
            if (clicked || done == 0)
                return;
            clicked = true;
            dialog = progressDialog();
            QVERIFY(QFile::exists(m_target));
            QTimer::singleShot(0, dialog, [&] { dialog->findChild<QPushButton*>()->click(); });
        });
        QVERIFY(clicked);
        QCOMPARE(savedFiles(), QStringList());
        QVERIFY(!dialog || dialog->isHidden());
        QTRY_COMPARE(managers(), 0);
        QTRY_VERIFY(!dialog);
        QVERIFY(driver.messages.isEmpty());
    }

    void failedTransferLeavesNoFileAndTellsTheUser()
    {
        m_server->setHandler([](const RecordingHttpServer::Request&) {
            Response response = binary(4 * 1024 * 1024);
            response.dropAfter = 300 * 1024;
            return response;
        });
        DialogDriver driver(m_target);
        open("/files/broken.bin");
        watchTransfer([](QNetworkReply*, qint64, qint64) {});
        QCOMPARE(savedFiles(), QStringList());
        QTRY_COMPARE(driver.messages.size(), 1);
        QVERIFY(driver.messages.first().startsWith("Download Error|The download failed."));
        QTRY_COMPARE(managers(), 0);
    }

    // A file-size limit makes the disk refuse writes, as a full disk would.
    void writeErrorLeavesNoFileAndTellsTheUser()
    {
        m_server->setHandler([](const RecordingHttpServer::Request&) {
            return binary(4 * 1024 * 1024);
        });
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = 256 * 1024;
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        DialogDriver driver(m_target);
        open("/files/toolarge.bin");
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        watchTransfer([](QNetworkReply*, qint64, qint64) {});
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(savedFiles(), QStringList());
        QTRY_COMPARE(driver.messages.size(), 1);
        QVERIFY(driver.messages.first().startsWith("Download Error|The download failed."));
        QTRY_COMPARE(managers(), 0);
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
