#include "commandline.h"

#include "platform/process.h"
#include "webcore/appidentity.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Options that QGuiApplication and QApplication take from the command line.
const QStringList kQtOptionsWithValue = {"platform",
                                         "platformpluginpath",
                                         "platformtheme",
                                         "plugin",
                                         "qwindowgeometry",
                                         "qwindowicon",
                                         "qwindowtitle",
                                         "display",
                                         "geometry",
                                         "style",
                                         "stylesheet",
                                         "session",
                                         "name",
                                         "title"};
const QStringList kQtFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

}  // namespace

CommandLine::CommandLine(const QStringList& arguments)
{
    m_program
        = arguments.isEmpty() ? QStringLiteral("quillet") : QFileInfo(arguments.first()).fileName();
    for (int i = 1; i < arguments.size() && m_action != Action::Error; ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            m_action = Action::Help;
            return;
        }
        if (argument == QLatin1String("--version")) {
            m_action = Action::Version;
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-'))) {
            fail(QStringLiteral("unexpected argument '%1'").arg(argument));
            break;
        }
        const QString body = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const QString option = body.section(QLatin1Char('='), 0, 0);
        const bool hasValue = body.contains(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && option == QLatin1String("web-folder")) {
            if (!hasValue && i + 1 >= arguments.size()) {
                fail(QStringLiteral("--web-folder needs a folder"));
                break;
            }
            const QString folder = hasValue ? body.section(QLatin1Char('='), 1) : arguments.at(++i);
            const QFileInfo info(folder);
            if (!info.isDir())
                fail(QStringLiteral("no such folder: %1").arg(folder));
            m_webFolder = QDir::cleanPath(info.absoluteFilePath());
        } else if (kQtOptionsWithValue.contains(option)) {
            if (!hasValue)
                ++i;
        } else if (!kQtFlags.contains(option)) {
            fail(QStringLiteral("unknown option '%1'").arg(argument));
        }
    }
}

void CommandLine::fail(const QString& error)
{
    m_action = Action::Error;
    m_error = error;
}

QString CommandLine::usage() const
{
    return QStringLiteral(
               "Usage: %1 [OPTION]...\n"
               "Runs the web app packaged beside this program (Widget.rcc) as a desktop program.\n"
               "\n"
               "  --web-folder DIR  run the unpacked web folder DIR instead (index.html and\n"
               "                    widget/, as packaged); F5 reloads the page after an edit\n"
               "  -h, --help        show this help and exit\n"
               "  --version         show the app's name and version and exit\n"
               "\n"
               "Qt's own options, such as -platform offscreen, are accepted too.\n"
               "A second start of a running app brings its window to the front.\n"
               "An app whose manifest names \"engine\": \"webengine\" runs in\n"
               "quillet-webengine when that lies beside quillet.\n")
        .arg(m_program);
}

AppIdentity CommandLine::identity(QStringList* warnings) const
{
    if (!m_webFolder.isEmpty()) {
        AppIdentity identity = AppIdentity::fromFolder(m_webFolder, warnings);
        identity.setWebFolder(m_webFolder);
        return identity;
    }
    const QString bundle = QString::fromStdString(platform::installFolder()) + QLatin1Char('/')
                           + RESOURCE_BUNDLE_FILE;
    return AppIdentity::fromBundle(bundle, warnings);
}
