// Developer extras follow the build's application identifier: on only when it
// is unset (all words zero); off when set and when only some words are zero.
#include "shell/appmainwindow.h"
#include "shell/constants.h"
#include "tests/support/isolatedhome.h"
#include "web/sitespecificwebview.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWebSettings>

class TestDeveloperExtras : public QObject {
    Q_OBJECT
    IsolatedHome m_home;

private slots:
    void followsTheIdentifier()
    {
        AppMainWindow window;
        const bool on =
            QWebSettings::globalSettings()->testAttribute(QWebSettings::DeveloperExtrasEnabled);
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
#include "tst_developerextras.moc"
