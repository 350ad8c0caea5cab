#ifndef QUILLET_TESTS_WEB_WEBTESTHELPERS_H
#define QUILLET_TESTS_WEB_WEBTESTHELPERS_H

#include "shell/constants.h"

#include <QSignalSpy>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

// Pages of the test bundle (tests/web/bundle/widget) on the application's
// virtual origin, served through each view's own network manager.
inline QUrl originUrl(const QString& path)
{
    return QUrl("http://" + APPLICATION_HOST.toLower() + path);
}

inline bool loadAndWait(QWebPage* page, const QUrl& url)
{
    QSignalSpy loaded(page, &QWebPage::loadFinished);
    page->mainFrame()->load(url);
    return loaded.wait(10000) && loaded.first().first().toBool();
}

inline QString js(QWebFrame* frame, const QString& script)
{
    return frame->evaluateJavaScript(script).toString();
}

#endif
