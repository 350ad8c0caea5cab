#ifndef QUILLET_SHELL_RUNTIMECONTEXTSTARTUP_H
#define QUILLET_SHELL_RUNTIMECONTEXTSTARTUP_H

#include <functional>
#include <memory>

class QMessageBox;
class QString;

namespace com { namespace corvane { namespace vesk {
class Application;
}}}  // namespace com::corvane::vesk

// The guarded start-up step of a store build: creates the runtime context.
// When that fails with InitializationException or VeskRuntimeException it
// writes the failure to Qt's debug output, shows the message box modally and
// returns null; the program then ends with 0 and never shows its window.
// After a quit signal the box is not shown.
// Any other exception passes through.
class RuntimeContextStartup {
public:
    using Factory = std::function<std::unique_ptr<com::corvane::vesk::Application>()>;

    static std::unique_ptr<com::corvane::vesk::Application> start(QMessageBox& messageBox);
    // The same with another way of creating the context (tests).
    static std::unique_ptr<com::corvane::vesk::Application> start(QMessageBox& messageBox,
                                                                  const Factory& create);

    // The message box text after an InitializationException, by its code
    // (those of the store link: 2 no connection, 3 refused, 9 no reply).
    static QString initializationFailedText(int code);
};

#endif
