#ifndef QUILLET_TOOLS_FOLDERCHECK_H
#define QUILLET_TOOLS_FOLDERCHECK_H

#include "webcore/appidentity.h"

#include <QList>
#include <QString>
#include <QStringList>

// The check before shipping: loads each HTML page of a web folder in the
// engine the app runs in, off screen, with the app's virtual origin, and
// finds what will not work in the packaged app: script errors, module
// scripts the engine skips, references to files that are not in the folder
// and remote resources that need a network. Nothing leaves the machine:
// remote requests are refused and recorded.
//
// Pages load in QtWebKit. What fails there only because the app is made for
// the modern web (module scripts, newer syntax, interfaces QtWebKit lacks) is
// marked as such: it is what Qt WebEngine runs, so for an app on that engine
// it is left out.
class FolderCheck {
public:
    struct Finding {
        enum Kind {
            IgnoredManifest,
            ScriptError,
            ModuleScript,
            MissingFile,
            RemoteResource,
            Manifest
        };
        Kind kind;
        bool error;
        QString file;  // inside the folder, e.g. "widget/js/app.js"
        int line;      // 0 when unknown
        QString text;
        // What of the modern web it uses that QtWebKit lacks, e.g. "fetch";
        // empty for a fault of the app itself.
        QString modern;
    };

    // engine: the app's engine, else the one its manifest names.
    explicit FolderCheck(const QString& folder,
                         std::optional<AppIdentity::Engine> engine = std::nullopt);

    // The HTML pages, inside the folder, in the order they are checked.
    QStringList pages() const;
    // Loads every page; needs a QApplication.
    QList<Finding> run();
    AppIdentity::Engine engine() const { return m_engine; }
    // Findings left out because the app runs on Qt WebEngine.
    int leftOut() const { return m_leftOut; }
    // What to do about each kind found, one paragraph per kind.
    static QStringList advice(const QList<Finding>& findings);

private:
    void checkPage(const QString& page);
    void add(Finding::Kind kind, const QString& file, int line, const QString& text);
    void addReference(const QString& page, const QString& url, bool isLink);
    QString fileOf(const QString& url) const;
    int lineOf(const QString& page, const QString& text) const;

    QString modernFeatureOf(const QString& file, int line, const QString& message) const;

    QString m_folder;
    AppIdentity::Engine m_engine;
    QList<Finding> m_findings;
    int m_leftOut = 0;
};

#endif
