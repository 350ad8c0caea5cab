// Developer extras follow the build's application identifier: on only when it
// is unset (all words zero), off when only some words are zero.
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
        // The window's view and a pop-up made later see the global setting.
        AppMainWindow window;
        SiteSpecificWebView popup;
        const bool expected = EXPECT_DEVELOPER_EXTRAS;
        for (QWebSettings* settings :
             {QWebSettings::globalSettings(), window.webView()->page()->settings(),
              popup.page()->settings()})
            QCOMPARE(settings->testAttribute(QWebSettings::DeveloperExtrasEnabled), expected);
    }
};

QTEST_MAIN(TestDeveloperExtras)
#include "developerextrastest.moc"
