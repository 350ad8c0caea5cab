#include "enginebridge.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>

#include <limits>

namespace {
const QString kCallMark = QStringLiteral("\x01quillet-bridge-call");
}

EngineBridge::EngineBridge(QWebEnginePage* page, QObject* parent)
    : WindowBridge(
        [page]() -> QWidget* {
            QWidget* view = page->view();
            return view ? view->window() : nullptr;
        },
        parent)
{
}

EngineBridge::~EngineBridge() = default;

QString EngineBridge::pageScript()
{
    return QStringLiteral(
               "(function () {"
               "  function call(name, args) {"
               "    prompt('%1', JSON.stringify([name].concat(Array.prototype.map.call(args, Number))));"
               "  }"
               "  var zem = {};"
               "  ['setFullScreen', 'exitFullScreen', 'exitApplication', 'setMaxWindowSize',"
               "   'setMinWindowSize'].forEach(function (name) {"
               "    zem[name] = function () { call(name, arguments); };"
               "  });"
               "  window.corvane_skyfold_zem = zem;"
               "})()")
        .arg(kCallMark);
}

bool EngineBridge::isCall(const QString& promptMessage)
{
    return promptMessage == kCallMark;
}

void EngineBridge::call(const QString& arguments)
{
    const QJsonArray call = QJsonDocument::fromJson(arguments.toUtf8()).array();
    const QString name = call.at(0).toString();
    // JSON has no NaN nor infinity: they arrive as null and stay not a number.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double a = call.at(1).toDouble(nan), b = call.at(2).toDouble(nan);
    if (name == QLatin1String("setFullScreen"))
        setFullScreen();
    else if (name == QLatin1String("exitFullScreen"))
        exitFullScreen();
    else if (name == QLatin1String("exitApplication"))
        exitApplication();
    else if (name == QLatin1String("setMaxWindowSize"))
        setMaxWindowSize(a, b);
    else if (name == QLatin1String("setMinWindowSize"))
        setMinWindowSize(a, b);
}
