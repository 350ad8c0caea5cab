#include "appmainwindow.h"

#include "appmainwindowform.h"
#include "constants.h"
#include "platform/process.h"
#include "web/appidentity.h"
#include "web/resourcebundle.h"
#include "web/sitespecificwebview.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QNetworkProxyFactory>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>

#include <cstdio>
#include <memory>

namespace {

// The app's own colour until its page has loaded: no white flash on a dark
// app. The view hands its palette to its page; once loaded, both get their
// own back, so a page without a background of its own is white, as in a
// browser.
void showColourUntilLoaded(QWebView* view, const QColor& colour)
{
    const QPalette original = view->palette();
    QPalette palette = original;
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    view->setPalette(palette);
    QWebPage* page = view->page();
    auto loaded = std::make_shared<QMetaObject::Connection>();
    *loaded = QObject::connect(
        page, &QWebPage::loadFinished, view, [view, page, original, loaded](bool ok) {
            if (!ok || page->mainFrame()->url().toString() == QLatin1String("about:blank"))
                return;
            view->setPalette(original);
            QObject::disconnect(*loaded);
        });
}

}  // namespace

AppMainWindow::AppMainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_form(new AppMainWindowForm)
{
    makeInstallFolderCurrent();
    m_form->setupUi(this);
    // Relative name: read from the install folder made current above. A web
    // folder run unpacked needs no bundle.
    m_bundle = std::make_unique<ResourceBundle>(RESOURCE_BUNDLE_FILE);
    m_bundleLoaded = !AppIdentity::current().webFolder().isEmpty() || m_bundle->load();
    configure();
    m_settings = AppIdentity::current().createSettings();
    restoreGeometry();
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    if (m_bundleLoaded)
        m_form->webView->setUrl(m_startUrl);
    else
        showBundleProblem();
}

AppMainWindow::~AppMainWindow()
{
    m_bundle.reset();
    saveWindowSettings();
    delete m_form;
    delete m_settings;
}

void AppMainWindow::saveWindowSettings()
{
    m_settings->beginGroup(QStringLiteral("Window"));
    m_settings->setValue(QStringLiteral("size"), size());
    m_settings->setValue(QStringLiteral("pos"), pos());
    m_settings->endGroup();
    m_settings->sync();
}

SiteSpecificWebView* AppMainWindow::webView() const
{
    return m_form->webView;
}

void AppMainWindow::resizeEvent(QResizeEvent* event)
{
    m_form->webView->setGeometry(QRect(0, 0, width(), height()));
    QWidget::resizeEvent(event);
}

// The bundle and the icon lie next to the executable, wherever the program
// was started from. A failure leaves the inherited current folder.
void AppMainWindow::makeInstallFolderCurrent()
{
    const std::string folder = platform::installFolder();
    if (!folder.empty())
        QDir::setCurrent(QString::fromStdString(folder));
}

void AppMainWindow::configure()
{
    m_startUrl = QUrl(QStringLiteral("qrc:/index.html"));
    const AppIdentity& app = AppIdentity::current();
    setWindowTitle(app.title());
    setWindowIcon(app.windowIcon());
    if (app.backgroundColor().isValid())
        showColourUntilLoaded(m_form->webView, app.backgroundColor());
    // Run unpacked, the developer edits a file and reloads with F5.
    if (!app.webFolder().isEmpty()) {
        auto* reload = new QShortcut(QKeySequence::Refresh, this);
        connect(reload, &QShortcut::activated, m_form->webView, &QWebView::reload);
    }

    QWebSettings* web = QWebSettings::globalSettings();
    web->setAttribute(QWebSettings::PluginsEnabled, true);
    web->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
    web->setAttribute(QWebSettings::JavascriptCanAccessClipboard, true);
    web->setAttribute(QWebSettings::OfflineWebApplicationCacheEnabled, true);
    web->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    web->setAttribute(QWebSettings::LocalStorageEnabled, true);
    web->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, true);
    web->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, true);
    if (APPLICATION_ID.isUnset())
        web->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);
}

void AppMainWindow::restoreGeometry()
{
    m_settings->beginGroup(QStringLiteral("Window"));
    QSize savedSize = m_settings->value(QStringLiteral("size"), QSize(800, 600)).toSize();
    const QVariant savedPos = m_settings->value(QStringLiteral("pos"), QPoint(0, 0));
    m_settings->endGroup();
    // A damaged value reads as an invalid size or a non-point: use the default.
    if (!savedSize.isValid() || savedSize.isEmpty())
        savedSize = QSize(800, 600);
    resize(savedSize);
    move(savedPos.canConvert<QPoint>() ? savedPos.toPoint() : QPoint(0, 0));
    keepOnScreen();
}

// A saved position on a screen that is no longer there (a monitor was
// removed) would open the window out of reach: bring it to the primary
// screen, keeping the saved size where it fits. A saved size larger than the
// screens (a damaged or hand-edited file) is cut to them: a window of tens of
// thousands of pixels exhausts the window system's backing store and would
// crash every start.
void AppMainWindow::keepOnScreen()
{
    const QRect titleStrip(pos(), QSize(width(), 24));
    const int needed = qMin(width(), 64);
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect shared = screen->availableGeometry().intersected(titleStrip);
        if (shared.width() >= needed && shared.height() > 0) {
            resize(size().boundedTo(screen->availableVirtualGeometry().size()));
            return;
        }
    }
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QRect available = primary->availableGeometry();
    resize(size().boundedTo(available.size()));
    move(available.topLeft());
}

// Without a bundle there is nothing to run: the window says so, with the
// place it looked, and the program ends when the user closes it.
void AppMainWindow::showBundleProblem()
{
    const QStringList lines{
        tr("The application cannot start: its bundle cannot be used."),
        tr("Looked for: %1").arg(QDir::toNativeSeparators(m_bundle->filePath())),
        m_bundle->problem()};
    std::fprintf(stderr, "%s\n", lines.join(QLatin1Char('\n')).toLocal8Bit().constData());
    std::fflush(stderr);
    QString html
        = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                         "</head><body style=\"font-family: sans-serif; margin: 2em\">")
              .arg(APPLICATION_TITLE.toHtmlEscaped());
    html += QStringLiteral("<h1>%1</h1>").arg(lines[0].toHtmlEscaped());
    for (int i = 1; i < lines.size(); ++i)
        html += QStringLiteral("<p>%1</p>").arg(lines[i].toHtmlEscaped());
    m_form->webView->setHtml(html + QStringLiteral("</body></html>"));
}
