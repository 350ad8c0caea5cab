// Navigation policy: no back step to the blank first page, and "mailto:"
// URLs (by scheme only) go to the desktop's mail program while the page the
// user is on stays. The desktop hand-off runs `xdg-open`; a stand-in first on
// PATH records what it was given. Runs under a virtual X server: the
// offscreen platform cannot hand URLs to the desktop.
#include "tests/support/isolatedhome.h"
#include "tests/web/webtesthelpers.h"
#include "web/sitespecificwebpage.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWebHistory>

namespace {

class ProbePage : public SiteSpecificWebPage {
public:
    using SiteSpecificWebPage::acceptNavigationRequest;
};

}  // namespace

class TestPageNavigation : public QObject {
    Q_OBJECT
    IsolatedHome m_home;
    QTemporaryDir m_bin;

    QString logPath() const { return m_bin.filePath("opened.log"); }
    QString handedOver() const
    {
        QFile log(logPath());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).trimmed() : QString();
    }

private slots:
    void initTestCase()
    {
        applyProgramWebSettings();
        QFile script(m_bin.filePath("xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + logPath().toUtf8() + "'\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", m_bin.path().toUtf8() + ":" + qgetenv("PATH"));
    }

    void init() { QFile::remove(logPath()); }

    void policy_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("toDesktop");

        const int back = QWebPage::NavigationTypeBackOrForward;
        const int link = QWebPage::NavigationTypeLinkClicked;
        const int other = QWebPage::NavigationTypeOther;
        QTest::newRow("back step to about:blank is refused")
            << QUrl("about:blank") << back << false << false;
        QTest::newRow("link to about:blank is followed") << QUrl("about:blank") << link << true << false;
        QTest::newRow("script navigation to about:blank is followed")
            << QUrl("about:blank") << other << true << false;
        QTest::newRow("back step to a page is allowed")
            << originUrl("/child.html") << back << true << false;
        QTest::newRow("mailto link goes to the desktop and the page stays")
            << QUrl("mailto:ann@example.org?subject=Quills") << link << false << true;
        QTest::newRow("scheme in upper case is still mailto")
            << QUrl("MAILTO:bob@example.org") << other << false << true;
        QTest::newRow("http link with mailto: in its query stays a web link")
            << QUrl("http://127.0.0.1:9/share?to=mailto:ann@example.org") << link << true << false;
        QTest::newRow("http link with MailTo: in its path stays a web link")
            << QUrl("http://127.0.0.1:9/MailTo:ann") << link << true << false;
    }

    void policy()
    {
        QFETCH(QUrl, url);
        QFETCH(int, type);
        QFETCH(bool, accepted);
        QFETCH(bool, toDesktop);

        ProbePage page;
        const bool result = page.acceptNavigationRequest(page.mainFrame(), QNetworkRequest(url),
                                                         QWebPage::NavigationType(type));
        QCOMPARE(result, accepted);
        if (toDesktop) {
            QTRY_COMPARE(handedOver(), url.toString());
        } else {
            QTest::qWait(250);  // the launcher runs detached
            QCOMPARE(handedOver(), QString());
        }
    }

    void clickedMailtoLinkLeavesThePageInPlace()
    {
        SiteSpecificWebView view;
        view.show();
        QVERIFY(loadAndWait(view.page(), originUrl("/mail.html")));
        QWebFrame* frame = view.page()->mainFrame();
        js(frame, "document.getElementById('mail').click()");
        QTRY_COMPARE(handedOver(), QStringLiteral("mailto:ann@example.org?subject=Quills"));
        QTest::qWait(300);
        QCOMPARE(frame->url(), originUrl("/mail.html"));
        QCOMPARE(js(frame, "document.title"), QStringLiteral("mail"));
    }

    void webLinkMentioningMailtoIsFollowedInThePage()
    {
        SiteSpecificWebView view;
        view.show();
        QVERIFY(loadAndWait(view.page(), originUrl("/mail.html")));
        QSignalSpy loaded(view.page(), &QWebPage::loadFinished);
        js(view.page()->mainFrame(), "document.getElementById('share').click()");
        QVERIFY(loaded.wait(5000));
        QCOMPARE(js(view.page()->mainFrame(), "document.title"), QStringLiteral("child"));
        QCOMPARE(handedOver(), QString());
    }

    // The main window's view holds "about:blank" before the start page.
    void backStepToTheBlankFirstPageIsRefused()
    {
        SiteSpecificWebView view;
        view.show();
        view.setUrl(QUrl("about:blank"));
        QVERIFY(loadAndWait(view.page(), originUrl("/child.html")));
        QVERIFY(view.page()->history()->canGoBack());
        view.page()->triggerAction(QWebPage::Back);
        QTest::qWait(300);
        QCOMPARE(view.page()->mainFrame()->url(), originUrl("/child.html"));
        QCOMPARE(js(view.page()->mainFrame(), "document.title"), QStringLiteral("child"));

        // A link to it is followed.
        QSignalSpy loaded(view.page(), &QWebPage::loadFinished);
        js(view.page()->mainFrame(), "location.href = 'about:blank'");
        QTRY_COMPARE(view.page()->mainFrame()->url(), QUrl("about:blank"));
    }
};

QTEST_MAIN(TestPageNavigation)
#include "tst_pagenavigation.moc"
