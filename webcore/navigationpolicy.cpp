#include "navigationpolicy.h"

#include <QUrl>

// The main window's view starts on "about:blank": a step back or forward never
// returns to it. Only a real "mailto:" URL goes to the desktop's mail program,
// and the page the user is on stays: the engine would otherwise replace it
// with an empty document when the load of the unknown scheme fails.
NavigationPolicy::Decision NavigationPolicy::decide(const QUrl& url, bool backOrForward)
{
    if (backOrForward && url.toString() == QLatin1String("about:blank"))
        return Decision::Refuse;
    if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0)
        return Decision::HandToDesktop;
    return Decision::Follow;
}
