// Developer extras follow the build's application identifier: on only when it
// is unset (all words zero); off when set and when only some words are zero.
#include "isolatedenvironment.h"
#include "web/appmainwindow.h"
#include "web/sitespecificwebview.h"

#include <QTest>
#include <QWebSettings>

class TestDeveloperExtras : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;

private slots:
    void followsTheIdentifier()
    {
        AppMainWindow window;
        const bool on
            = QWebSettings::globalSettings()->testAttribute(QWebSettings::DeveloperExtrasEnabled);
        QCOMPARE(on, bool(EXPECT_DEVELOPER_EXTRAS));
        QCOMPARE(window.webView()->page()->settings()->testAttribute(
                     QWebSettings::DeveloperExtrasEnabled),
                 bool(EXPECT_DEVELOPER_EXTRAS));
        // A pop-up view made later sees the same global setting.
        SiteSpecificWebView popup;
        QCOMPARE(popup.page()->settings()->testAttribute(QWebSettings::DeveloperExtrasEnabled),
                 bool(EXPECT_DEVELOPER_EXTRAS));
    }
};

QTEST_MAIN(TestDeveloperExtras)
#include "developerextrastest.moc"
