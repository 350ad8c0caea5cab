#ifndef QUILLET_SHELL_COMMANDLINE_H
#define QUILLET_SHELL_COMMANDLINE_H

#include <QString>
#include <QStringList>

class AppIdentity;

// The program's own options, read before the Qt application exists, so that
// --help, --version and a wrong option answer even without a display. Qt's
// own options (-platform offscreen, -style fusion, ...) are left to Qt.
class CommandLine {
public:
    enum class Action { Run, Help, Version, Error };

    // arguments[0] is the program as it was started.
    explicit CommandLine(const QStringList& arguments);

    Action action() const { return m_action; }
    // The unpacked web folder to run (--web-folder), absolute; empty for the bundle.
    QString webFolder() const { return m_webFolder; }
    QString error() const { return m_error; }  // what is wrong, for Action::Error
    QString program() const { return m_program; }
    QString usage() const;
    // The app it runs: of the unpacked web folder, else of the bundle beside
    // the program. Problems with its manifest are appended to warnings.
    AppIdentity identity(QStringList* warnings) const;

private:
    void fail(const QString& error);

    Action m_action = Action::Run;
    QString m_program;
    QString m_webFolder;
    QString m_error;
};

#endif
