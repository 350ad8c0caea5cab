// Downloads through a real view and page against a loopback HTTP server. The
// save dialog and message boxes are answered from a timer that finds the
// active modal widget, as a user would answer them.
#include "tests/support/isolatedhome.h"
#include "tests/support/recordinghttpserver.h"
#include "web/sitespecificwebview.h"
#include "web/zemdownloadmgr.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkReply>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

namespace {
using Request = RecordingHttpServer::Request;
using Response = RecordingHttpServer::Response;
const QString kFailed = "Download Error|The download failed. Nothing was saved.";

Response binary(qint64 size)
{
    Response response;
    response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/octet-stream")));
    response.streamedSize = size;
    return response;
}

}  // namespace

class TestDownload : public QObject {
    Q_OBJECT
    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<RecordingHttpServer> m_server;
    std::unique_ptr<SiteSpecificWebView> m_view;
    QString m_target;
    QUrl m_opened;
    bool m_managerGoneAtFinish = false;
    // Modal dialogs are answered as a user would: a save dialog gets
    // m_typed typed in (or is dismissed when it is empty), a message box
    // is recorded and closed.
    QTimer m_answerer;
    QString m_typed;
    QStringList m_proposed;  // the paths save dialogs offered
    QStringList m_messages;  // "title|text" of message boxes

    void answerModalDialog()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            m_proposed << dialog->selectedFiles().value(0);
            if (m_typed.isEmpty())
                return dialog->reject();
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(m_typed);
            QMetaObject::invokeMethod(dialog, "accept");
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_messages << box->windowTitle() + '|' + box->text();
            box->done(QMessageBox::Ok);
        }
    }

    QWebPage* page() const { return m_view->page(); }
    int managers() const { return page()->findChildren<ZemDownloadMgr*>().size(); }
    QList<QNetworkReply*> replies() const { return page()->networkAccessManager()->findChildren<QNetworkReply*>(); }
    QStringList savedFiles() const { return QDir(m_home->home()).entryList(QDir::Files); }
    QProgressDialog* progressDialog() const { return m_view->findChild<QProgressDialog*>(); }

    // Opens the URL and waits until the page has handed the reply on.
    void open(const QByteArray& target)
    {
        QSignalSpy unsupported(page(), &QWebPage::unsupportedContent);
        m_opened = QUrl(m_server->baseUrl() + target);
        m_view->load(m_opened);
        QVERIFY(unsupported.wait(10000));
    }

    // Waits for the manager's own transfer (WebKit's requests name their
    // frame), passes its progress to onProgress and waits until it finishes.
    void watchTransfer(const std::function<void(qint64 done, qint64 total)>& onProgress)
    {
        QNetworkReply* transfer = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (QNetworkReply* reply : replies())
                    if (!reply->request().originatingObject() && reply->url() == m_opened)
                        transfer = reply;
                return transfer != nullptr;
            }(),
            10000);
        QPointer<ZemDownloadMgr> manager = page()->findChild<ZemDownloadMgr*>();
        bool finished = false, stalled = false;
        connect(transfer, &QNetworkReply::downloadProgress, this, onProgress);
        // Progress is reported at most every 100 ms: a stall after the first
        // chunk makes sure some is reported before the end.
        connect(transfer, &QNetworkReply::readyRead, this, [&] {
            if (!std::exchange(stalled, true))
                QThread::msleep(150);
        });
        // Connected after the manager, so this runs once its slot has returned.
        connect(transfer, &QNetworkReply::finished, this, [&] {
            finished = true;
            m_managerGoneAtFinish = manager.isNull();
        });
        QTRY_VERIFY_WITH_TIMEOUT(finished, 20000);
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QNetworkReply*>();
        connect(&m_answerer, &QTimer::timeout, this, &TestDownload::answerModalDialog);
        m_answerer.start(20);
    }

    void init()
    {
        m_home = std::make_unique<IsolatedHome>();
        m_typed = m_target = m_home->home() + "/saved.bin";
        m_proposed.clear();
        m_messages.clear();
        m_server = std::make_unique<RecordingHttpServer>();
        QVERIFY(m_server->listen());
        m_view = std::make_unique<SiteSpecificWebView>();
    }

    void cleanup()
    {
        m_view.reset();
        m_server.reset();
        m_home.reset();
    }

    void refusedDownloadAsksForNoFile_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("reply without Content-Type is ignored") << QByteArray("/files/data.bin") << false
                                                               << QStringList();
        QTest::newRow("path ending in / gets an error box")
            << QByteArray("/files/") << true << QStringList("Download Error|Invalid File. Cannot download.");
    }

    void refusedDownloadAsksForNoFile()
    {
        QFETCH(QByteArray, target);
        QFETCH(bool, typed);
        QFETCH(QStringList, messages);
        m_server->setHandler([typed](const Request&) {
            Response response = binary(4096);
            if (!typed)
                response.headers.clear();
            return response;
        });
        open(target);
        QTest::qWait(300);
        QTRY_COMPARE(m_messages, messages);
        QVERIFY(m_proposed.isEmpty());
        QTRY_COMPARE(managers(), 0);
        QCOMPARE(m_server->requestsTo(target).size(), 1);
    }

    void proposedNameComesFromTheDecodedPath_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("name");
        QTest::newRow("query and fragment dropped") << QByteArray("/files/report.pdf?x=1#y") << "report.pdf";
        QTest::newRow("percent-encoding decoded") << QByteArray("/files/annual%20report%C3%A9.pdf")
                                                  << QString::fromUtf8("annual reporté.pdf");
    }

    // Dismissing the dialog as well: no file, no message, no second request.
    void proposedNameComesFromTheDecodedPath()
    {
        QFETCH(QByteArray, target);
        QFETCH(QString, name);
        m_server->setHandler([](const Request&) { return binary(100); });
        m_typed.clear();
        open(target);
        QTRY_COMPARE(m_proposed, QStringList(m_home->home() + '/' + name));
        QTRY_COMPARE(managers(), 0);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(savedFiles(), QStringList());
        QCOMPARE(m_server->requestsTo(m_opened.path(QUrl::FullyEncoded).toUtf8()).size(), 1);
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
        m_server->setHandler([&](const Request&) {
            Response response = binary(size);
            response.omitContentLength = !lengthKnown;
            return response;
        });
        open("/files/big.bin");
        QList<qint64> totals;
        QList<int> maxima;
        watchTransfer([&](qint64, qint64 total) {
            totals << total;
            if (QProgressDialog* dialog = progressDialog())
                maxima << dialog->maximum();
        });
        QVERIFY2(m_managerGoneAtFinish, "the manager outlived the transfer's finished signal");
        QVERIFY(!totals.isEmpty() && !maxima.isEmpty());
        QCOMPARE(totals.first(), lengthKnown ? size : qint64(-1));
        QCOMPARE(maxima.first(), lengthKnown ? int(size) : -1);
        QFile saved(m_target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.size(), size);
        QVERIFY(saved.readAll() == RecordingHttpServer::pattern(0, size));
        QCOMPARE(m_server->requestsTo("/files/big.bin").size(), 2);
        // Both replies, the page's and the transfer, are released.
        QTRY_COMPARE(replies().size(), 0);
        QTRY_VERIFY(!progressDialog());
    }

    void unfinishedDownloadLeavesNoFile_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("cancelled in the progress dialog, quietly") << "cancel" << QStringList();
        QTest::newRow("dropped connection, the user is told") << "drop" << QStringList(kFailed);
        // A file-size limit makes the disk refuse writes, as a full disk would.
        QTest::newRow("write error, the user is told") << "write" << QStringList(kFailed);
    }

    void unfinishedDownloadLeavesNoFile()
    {
        QFETCH(QString, ending);
        QFETCH(QStringList, messages);
        m_server->setHandler([ending](const Request&) {
            Response response = binary((ending == "cancel" ? 512 : 4) * 1024 * 1024);
            if (ending == "drop")
                response.dropAfter = 300 * 1024;
            return response;
        });
        open("/files/partial.bin");
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = 256 * 1024;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        if (ending == "write")
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        bool partialFileSeen = false;
        watchTransfer([&](qint64 done, qint64) {
            if (done > 0 && !partialFileSeen && QFile::exists(m_target)) {
                partialFileSeen = true;
                if (ending == "cancel")
                    QTimer::singleShot(0, progressDialog()->findChild<QPushButton*>(), &QPushButton::click);
            }
        });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QVERIFY(partialFileSeen);
        QCOMPARE(savedFiles(), QStringList());
        QTRY_COMPARE(managers(), 0);
        QTRY_VERIFY(!progressDialog());
        QTRY_COMPARE(m_messages, messages);
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
