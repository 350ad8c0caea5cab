#include "appwindow.h"

#include "appidentity.h"
#include "platform/process.h"
#include "resourcebundle.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QSettings>

#include <cstdio>

AppWindow::AppWindow(QWidget* parent)
    : QMainWindow(parent)
{
    makeInstallFolderCurrent();
}

AppWindow::~AppWindow()
{
    m_bundle.reset();
    saveWindowSettings();
    delete m_settings;
}

// Written only when they changed: each write syncs the file to disk, which
// took most of the time the program needs to end.
void AppWindow::saveWindowSettings()
{
    if (m_settings->value(QStringLiteral("Window/size")) == QVariant(size())
        && m_settings->value(QStringLiteral("Window/pos")) == QVariant(pos()))
        return;
    m_settings->beginGroup(QStringLiteral("Window"));
    m_settings->setValue(QStringLiteral("size"), size());
    m_settings->setValue(QStringLiteral("pos"), pos());
    m_settings->endGroup();
    m_settings->sync();
}

// The bundle and the icon lie next to the executable, wherever the program
// was started from. A failure leaves the inherited current folder.
void AppWindow::makeInstallFolderCurrent()
{
    const std::string folder = platform::installFolder();
    if (!folder.empty())
        QDir::setCurrent(QString::fromStdString(folder));
}

// Relative name: read from the install folder made current above. A web
// folder run unpacked needs no bundle.
bool AppWindow::loadBundle()
{
    m_bundle = std::make_unique<ResourceBundle>(RESOURCE_BUNDLE_FILE);
    m_bundleLoaded = !AppIdentity::current().webFolder().isEmpty() || m_bundle->load();
    return m_bundleLoaded;
}

void AppWindow::showIdentity(QWidget* window)
{
    const AppIdentity& app = AppIdentity::current();
    window->setWindowTitle(app.title());
    window->setWindowIcon(app.windowIcon());
}

void AppWindow::restoreGeometry()
{
    m_settings = AppIdentity::current().createSettings();
    resize(savedSize(*m_settings));
    // A damaged value reads as a non-point: use the default.
    const QVariant savedPos = m_settings->value(QStringLiteral("Window/pos"), QPoint(0, 0));
    move(savedPos.canConvert<QPoint>() ? savedPos.toPoint() : QPoint(0, 0));
    keepOnScreen();
}

QSize AppWindow::popupSize()
{
    const std::unique_ptr<QSettings> settings(AppIdentity::current().createSettings());
    QSize size = savedSize(*settings);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableVirtualGeometry().size());
    return size;
}

// A damaged value reads as an invalid size: the default is used.
QSize AppWindow::savedSize(const QSettings& settings)
{
    const QSize size = settings.value(QStringLiteral("Window/size"), QSize(800, 600)).toSize();
    return size.isValid() && !size.isEmpty() ? size : QSize(800, 600);
}

// A saved position on a screen that is no longer there (a monitor was
// removed) would open the window out of reach: bring it to the primary
// screen, keeping the saved size where it fits. A saved size larger than the
// screens (a damaged or hand-edited file) is cut to them: a window of tens of
// thousands of pixels exhausts the window system's backing store and would
// crash every start.
void AppWindow::keepOnScreen()
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
QString AppWindow::bundleProblemPage() const
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
    return html + QStringLiteral("</body></html>");
}
