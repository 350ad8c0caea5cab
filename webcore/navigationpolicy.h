#ifndef QUILLET_WEBCORE_NAVIGATIONPOLICY_H
#define QUILLET_WEBCORE_NAVIGATIONPOLICY_H

class QUrl;

// What a page does with a navigation it is asked for, whatever the engine.
namespace NavigationPolicy {

enum class Decision {
    Follow,         // the engine loads it
    Refuse,         // nothing happens
    HandToDesktop,  // the desktop opens it; the page stays where it is
};

Decision decide(const QUrl& url, bool backOrForward);

}  // namespace NavigationPolicy

#endif
