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
               "  function call(name, args) { prompt('%1', JSON.stringify([name].concat(args))); }"
               "  function numbers(args) { return Array.prototype.map.call(args, Number); }"
               "  var zem = {};"
               "  ['setFullScreen', 'exitFullScreen', 'exitApplication', 'setMaxWindowSize',"
               "   'setMinWindowSize'].forEach(function (name) {"
               "    zem[name] = function () { call(name, numbers(arguments)); };"
               "  });"
               "  window.corvane_skyfold_zem = zem;"
               "  ['moveTo', 'moveBy', 'resizeTo', 'resizeBy'].forEach(function (name) {"
               "    window[name] = function () { call(name, numbers(arguments)); };"
               "  });"
               "  function toDesktop(url) { return /^mailto:/i.test(url); }"
               "  document.addEventListener('click', function (event) {"
               "    var link = event.target && event.target.closest"
               "      ? event.target.closest('a[href]') : null;"
               "    if (!link || event.defaultPrevented || !toDesktop(link.href)) return;"
               "    event.preventDefault();"
               "    call('openOnDesktop', [link.href]);"
               "  });"
               "  var open = window.open;"
               "  window.open = function (url) {"
               "    if (!toDesktop(String(url))) return open.apply(window, arguments);"
               "    call('openOnDesktop', [String(url)]);"
               "    return null;"
               "  };"
               "})()")
        .arg(kCallMark);
}

QJsonArray EngineBridge::callOf(const QString& promptMessage, const QString& value)
{
    if (promptMessage != kCallMark)
        return QJsonArray();
    return QJsonDocument::fromJson(value.toUtf8()).array();
}

bool EngineBridge::call(const QJsonArray& call)
{
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
    else
        return false;
    return true;
}
