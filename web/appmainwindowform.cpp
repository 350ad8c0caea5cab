#include "appmainwindowform.h"

#include "sitespecificwebview.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QMainWindow>
#include <QMetaObject>
#include <QUrl>

void AppMainWindowForm::setupUi(QMainWindow* window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("AppMainWindow"));
    window->resize(400, 300);
    window->setLayoutDirection(Qt::LeftToRight);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));

    gridLayout = new QGridLayout(centralWidget);
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));

    webView = new SiteSpecificWebView(centralWidget);
    webView->setObjectName(QStringLiteral("webView"));
    webView->setLayoutDirection(Qt::LeftToRight);
    webView->setAutoFillBackground(true);
    webView->setUrl(QUrl(QStringLiteral("about:blank")));
    gridLayout->addWidget(webView, 0, 0, 1, 1);

    window->setCentralWidget(centralWidget);
    window->setWindowTitle(QCoreApplication::translate("AppMainWindow", "AppMainWindow"));
    QMetaObject::connectSlotsByName(window);
}
