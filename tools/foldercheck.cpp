#include "foldercheck.h"

#include "web/sitespecificwebpage.h"
#include "web/zemnetworkaccessmanager.h"
#include "webcore/appidentity.h"
#include "webcore/bundlereply.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebFrame>
#include <QWebSettings>

#include <algorithm>
#include <functional>

namespace {

const int kLoadTimeoutMs = 20000;
// Timers and handlers that run just after the load event still count as "at load".
const int kSettleMs = 300;

// A refused request: fails at once, as an unreachable host would.
class OfflineReply : public QNetworkReply {
public:
    OfflineReply(const QNetworkRequest& request, QNetworkAccessManager::Operation op,
                 QObject* parent)
        : QNetworkReply(parent)
    {
        setRequest(request);
        setUrl(request.url());
        setOperation(op);
        QNetworkReply::open(QIODevice::ReadOnly);
        setError(QNetworkReply::HostNotFoundError,
                 QStringLiteral("not loaded: the check is offline"));
        setFinished(true);
        QMetaObject::invokeMethod(
            this, "errorOccurred", Qt::QueuedConnection,
            Q_ARG(QNetworkReply::NetworkError, QNetworkReply::HostNotFoundError));
        QMetaObject::invokeMethod(this, "finished", Qt::QueuedConnection);
    }
    void abort() override { }

protected:
    qint64 readData(char*, qint64) override { return -1; }
};

// Serves the folder as the app's manager does; refuses and reports what
// would go to the network, and reports files the folder lacks.
class CheckNetworkManager : public ZemNetworkAccessManager {
public:
    std::function<void(const QUrl&)> remoteRequested;
    std::function<void(const QUrl&)> fileMissing;

protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& request,
                                 QIODevice* outgoingData) override
    {
        const QUrl url = request.url();
        const QString scheme = url.scheme();
        if (scheme == QLatin1String("data") || scheme == QLatin1String("file"))
            return ZemNetworkAccessManager::createRequest(op, request, outgoingData);
        if (BundleReply::bundleUrlFor(op, url).isEmpty()) {
            if (url.host() != APPLICATION_HOST.toLower())
                remoteRequested(url);
            return new OfflineReply(request, op, this);
        }
        QNetworkReply* reply = ZemNetworkAccessManager::createRequest(op, request, outgoingData);
        // The engine asks for /favicon.ico by itself; a page that names no
        // icon does not miss it.
        if (url.path() == QLatin1String("/favicon.ico"))
            return reply;
        connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
            if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 404)
                fileMissing(url);
        });
        return reply;
    }
};

// The app's page, kept from leaving its document, opening windows or
// waiting for a user: navigations are reported instead of followed.
class CheckPage : public SiteSpecificWebPage {
public:
    std::function<void(const QUrl&)> navigated;

    CheckPage()
    {
        setForwardUnsupportedContent(false);
        disconnect(this, &QWebPage::printRequested, nullptr, nullptr);
    }

protected:
    QWebPage* createWindow(WebWindowType) override { return nullptr; }
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 NavigationType type) override
    {
        if (frame == mainFrame() && m_started) {
            navigated(request.url());
            return false;
        }
        m_started = true;
        return SiteSpecificWebPage::acceptNavigationRequest(frame, request, type);
    }
    void javaScriptAlert(QWebFrame*, const QString&) override { }
    bool javaScriptConfirm(QWebFrame*, const QString&) override { return true; }
    bool javaScriptPrompt(QWebFrame*, const QString&, const QString&, QString*) override
    {
        return false;
    }

private:
    bool m_started = false;
};

// Every element that names a file, as written and as resolved.
const char* const kReferencesScript
    = "(function () {"
      "  var found = [], all = document.querySelectorAll('[src], [href], object[data]');"
      "  for (var i = 0; i < all.length; ++i) {"
      "    var e = all[i], url = e.src || e.href || e.data;"
      "    if (typeof url !== 'string') continue;"
      "    found.push({tag: e.tagName.toLowerCase(),"
      "                written: e.getAttribute('src') || e.getAttribute('href') || "
      "e.getAttribute('data'),"
      "                url: url});"
      "  }"
      "  return JSON.stringify(found);"
      "})()";
const char* const kModulesScript = "JSON.stringify(Array.prototype.map.call(document."
                                   "querySelectorAll('script[type=\"module\"]'),"
                                   " function (s) { return s.getAttribute('src') || ''; }))";

// Syntax that QtWebKit cannot parse, by a token on the line of the error.
const struct {
    const char* pattern;
    const char* feature;
} kModernSyntax[] = {
    {R"(\?\.(?!\d))", "optional chaining (?.)"},
    {R"(\?{2})", "nullish coalescing (?\?)"},
    {R"(\basync\b|\bawait\b)", "async functions"},
    {R"([\w)\]]\s*\*\*)", "the exponent operator (**)"},
    {R"(\.\.\.)", "object rest and spread (...)"},
    {R"(\bcatch\s*\{)", "catch without a binding"},
    {R"(\bimport\s*\(|\bimport\.meta\b)", "dynamic import()"},
    {R"(\b\d+n\b)", "BigInt literals"},
};
// Interfaces QtWebKit lacks: a script that uses one at load fails with
// "Can't find variable: NAME" or "... NAME is not a function".
const char* const kModernInterfaces
    = "fetch Proxy TextEncoder TextDecoder IntersectionObserver ResizeObserver globalThis "
      "AbortController queueMicrotask BigInt Object.entries Object.values Object.fromEntries "
      "padStart padEnd flat flatMap allSettled replaceAll matchAll";

QUrl urlOfPage(const QString& page)
{
    QUrl url;
    if (page.startsWith(QLatin1String("widget/"))) {
        url.setScheme(QStringLiteral("http"));
        url.setHost(APPLICATION_HOST.toLower());
        url.setPath(page.mid(6), QUrl::DecodedMode);
    } else {
        url.setScheme(QStringLiteral("qrc"));
        url.setPath(QLatin1Char('/') + page, QUrl::DecodedMode);
    }
    return url;
}

}  // namespace

FolderCheck::FolderCheck(const QString& folder, std::optional<AppIdentity::Engine> engine)
    : m_folder(QDir::cleanPath(QDir(folder).absolutePath()))
    , m_engine(engine ? *engine : AppIdentity::fromFolder(m_folder).engine())
{
}

QStringList FolderCheck::pages() const
{
    QStringList pages;
    QDirIterator it(m_folder, {QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        pages << QDir(m_folder).relativeFilePath(it.next());
    pages.sort();
    return pages;
}

QList<FolderCheck::Finding> FolderCheck::run()
{
    m_findings.clear();
    m_leftOut = 0;
    QStringList warnings;
    AppIdentity identity = AppIdentity::fromFolder(m_folder, &warnings);
    identity.setWebFolder(m_folder);
    AppIdentity::setCurrent(identity);
    // A manifest the app ignores as a whole makes it "Quillet": an error. A
    // member it cannot use is a warning.
    for (const QString& warning : warnings)
        add(identity.hasManifest() ? Finding::Manifest : Finding::IgnoredManifest, QString(), 0,
            warning);

    // The app's engine settings; what pages store goes to a throw-away folder.
    QTemporaryDir storage;
    QWebSettings* web = QWebSettings::globalSettings();
    QWebSettings::enablePersistentStorage(storage.path());
    web->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
    web->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
    web->setAttribute(QWebSettings::LocalStorageEnabled, true);
    web->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, true);

    for (const QString& page : pages())
        checkPage(page);
    return m_findings;
}

void FolderCheck::checkPage(const QString& page)
{
    CheckNetworkManager network;
    CheckPage webPage;
    webPage.setNetworkAccessManager(&network);
    network.remoteRequested = [&](const QUrl& url) {
        add(Finding::RemoteResource, page, lineOf(page, url.toString()),
            QStringLiteral("remote resource %1 does not load offline").arg(url.toString()));
    };
    network.fileMissing = [&](const QUrl& url) {
        const QString file = fileOf(url.toString());
        add(Finding::MissingFile, page, lineOf(page, url.fileName()),
            QStringLiteral("%1 is not in the folder").arg(file));
    };
    webPage.navigated = [&](const QUrl& url) { addReference(page, url.toString(), true); };
    QObject::connect(
        &webPage, &QWebPage::consoleMessageReceived, &webPage,
        [&](QWebPage::MessageSource source, QWebPage::MessageLevel level, const QString& message,
            int line, const QString& sourceId) {
            if (source != QWebPage::JSMessageSource || level != QWebPage::ErrorMessageLevel)
                return;
            // A script error of the engine itself names no source: "undefined".
            const QString file = sourceId.isEmpty() || sourceId == QLatin1String("undefined")
                                     ? page
                                     : fileOf(sourceId);
            add(Finding::ScriptError, file, line, message);
        });

    QEventLoop loop;
    QObject::connect(&webPage, &QWebPage::loadFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kLoadTimeoutMs, &loop, &QEventLoop::quit);
    webPage.mainFrame()->load(urlOfPage(page));
    loop.exec();
    QTimer::singleShot(kSettleMs, &loop, &QEventLoop::quit);
    loop.exec();

    QWebFrame* frame = webPage.mainFrame();
    const QJsonArray modules
        = QJsonDocument::fromJson(
              frame->evaluateJavaScript(QLatin1String(kModulesScript)).toString().toUtf8())
              .array();
    const QRegularExpression moduleType(QStringLiteral("type\\s*=\\s*[\"']?module\\b"));
    QHash<QString, int> seen;
    for (const QJsonValue& module : modules) {
        const QString src = module.toString();
        int line = src.isEmpty() ? 0 : lineOf(page, src);
        if (line == 0) {  // inline: the n-th module tag of the source
            QFile file(m_folder + QLatin1Char('/') + page);
            file.open(QIODevice::ReadOnly);
            const QString text = QString::fromUtf8(file.readAll());
            auto matches = moduleType.globalMatch(text);
            for (int n = 0; matches.hasNext(); ++n) {
                const QRegularExpressionMatch match = matches.next();
                if (n == seen[page]) {
                    line = text.left(match.capturedStart()).count(QLatin1Char('\n')) + 1;
                    break;
                }
            }
        }
        ++seen[page];
        add(Finding::ModuleScript, page, line,
            QStringLiteral("module script %1 is skipped by QtWebKit")
                .arg(src.isEmpty() ? QStringLiteral("(inline)") : src));
    }
    const QJsonArray references
        = QJsonDocument::fromJson(
              frame->evaluateJavaScript(QLatin1String(kReferencesScript)).toString().toUtf8())
              .array();
    for (const QJsonValue& value : references) {
        const QJsonObject reference = value.toObject();
        const QString tag = reference.value(QLatin1String("tag")).toString();
        addReference(page, reference.value(QLatin1String("url")).toString(),
                     tag == QLatin1String("a") || tag == QLatin1String("area"));
    }
}

// A reference that the page makes: a file of the folder must be there; a
// remote resource is reported unless it is a link the user follows.
void FolderCheck::addReference(const QString& page, const QString& urlText, bool isLink)
{
    const QUrl url(urlText);
    const QString scheme = url.scheme();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    if (web && url.host() != APPLICATION_HOST.toLower()) {
        if (!isLink)
            add(Finding::RemoteResource, page, lineOf(page, urlText),
                QStringLiteral("remote resource %1 does not load offline").arg(urlText));
        return;
    }
    if (!web && scheme != QLatin1String("qrc") && scheme != QLatin1String("file"))
        return;  // data:, mailto:, javascript:, about: and the like
    const QString file = fileOf(urlText);
    if (file.isEmpty() || file.endsWith(QLatin1Char('/'))
        || QFileInfo(m_folder + '/' + file).isFile())
        return;
    add(Finding::MissingFile, page, lineOf(page, url.fileName()),
        QStringLiteral("%1 is not in the folder").arg(file));
}

// The file of the folder that a URL of the app names.
QString FolderCheck::fileOf(const QString& urlText) const
{
    const QUrl url(urlText);
    const QString path = QDir::cleanPath(url.path(QUrl::FullyDecoded));
    if (url.scheme() == QLatin1String("http") && url.host() == APPLICATION_HOST.toLower())
        return QStringLiteral("widget") + (path.isEmpty() ? QStringLiteral("/") : path);
    if (url.scheme() == QLatin1String("qrc"))
        return path.mid(1);
    if (url.isLocalFile())
        return QDir(m_folder).relativeFilePath(url.toLocalFile());
    return urlText;
}

int FolderCheck::lineOf(const QString& page, const QString& text) const
{
    if (text.isEmpty())
        return 0;
    QFile file(m_folder + QLatin1Char('/') + page);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QString source = QString::fromUtf8(file.readAll());
    const int at = source.indexOf(text);
    return at < 0 ? 0 : source.left(at).count(QLatin1Char('\n')) + 1;
}

void FolderCheck::add(Finding::Kind kind, const QString& file, int line, const QString& text)
{
    for (const Finding& known : qAsConst(m_findings))
        if (known.kind == kind && known.file == file && known.line == line && known.text == text)
            return;
    const QString modern = kind == Finding::ModuleScript  ? QStringLiteral("module scripts")
                           : kind == Finding::ScriptError ? modernFeatureOf(file, line, text)
                                                          : QString();
    if (!modern.isEmpty() && m_engine == AppIdentity::Engine::WebEngine) {
        ++m_leftOut;
        return;
    }
    const bool error = kind != Finding::RemoteResource && kind != Finding::Manifest;
    m_findings.append({kind, error, file, line, text, modern});
}

// The feature of the modern web that a script error shows the app uses:
// an interface QtWebKit lacks, or newer syntax on the line of a syntax error.
QString FolderCheck::modernFeatureOf(const QString& file, int line, const QString& message) const
{
    static const QRegularExpression missing(
        QStringLiteral(R"(Can't find variable: ([\w$]+)|([\w$.]+) is not a function)"));
    const QRegularExpressionMatch match = missing.match(message);
    if (match.hasMatch()) {
        const QString name = match.captured(1) + match.captured(2);
        for (const QString& interface : QString::fromLatin1(kModernInterfaces).split(' '))
            if (name == interface || name.endsWith(QLatin1Char('.') + interface))
                return interface;
        return QString();
    }
    if (!message.startsWith(QLatin1String("SyntaxError")) || line <= 0)
        return QString();
    QFile source(m_folder + QLatin1Char('/') + file);
    if (!source.open(QIODevice::ReadOnly))
        return QString();
    const QString text
        = QString::fromUtf8(source.readAll()).section(QLatin1Char('\n'), line - 1, line - 1);
    for (const auto& syntax : kModernSyntax)
        if (QRegularExpression(QLatin1String(syntax.pattern)).match(text).hasMatch())
            return QLatin1String(syntax.feature);
    return QString();
}

QStringList FolderCheck::advice(const QList<Finding>& findings)
{
    QList<Finding::Kind> kinds;
    for (const Finding& finding : findings)
        if (!kinds.contains(finding.kind))
            kinds.append(finding.kind);
    std::sort(kinds.begin(), kinds.end());
    QStringList advice;
    QStringList modern;
    for (const Finding& finding : findings)
        if (!finding.modern.isEmpty() && !modern.contains(finding.modern))
            modern << finding.modern;
    if (!modern.isEmpty())
        advice << QStringLiteral(
                      "The app needs the Qt WebEngine engine: it uses %1, which QtWebKit lacks. "
                      "Package it with --engine webengine, or add \"engine\": \"webengine\" to "
                      "its manifest; it then starts slower and takes more memory. Or make it fit "
                      "for QtWebKit as follows.")
                      .arg(modern.join(QStringLiteral(", ")));
    for (Finding::Kind kind : kinds) {
        switch (kind) {
        case Finding::ScriptError:
            advice << QStringLiteral(
                "Script errors: QtWebKit runs the JavaScript of 2016 browsers (ES2015, no "
                "modules). Build the app for an older target, e.g. esbuild --target=es2015, "
                "TypeScript \"target\": \"ES2015\" or Babel's preset-env for Safari 10.");
            break;
        case Finding::ModuleScript:
            advice << QStringLiteral(
                "Module scripts: QtWebKit skips <script type=\"module\">. Bundle the modules "
                "into one classic script (e.g. esbuild --bundle --format=iife) and load it with "
                "a plain <script src>.");
            break;
        case Finding::MissingFile:
            advice << QStringLiteral("Missing files: add them to the web folder or correct the "
                                     "references (names are "
                                     "case-sensitive; the app's own files live under widget/, "
                                     "served from the virtual "
                                     "origin http://%1/).")
                          .arg(APPLICATION_HOST.toLower());
            break;
        case Finding::RemoteResource:
            advice << QStringLiteral(
                "Remote resources: the app runs offline. Copy scripts, styles, fonts and images "
                "into the web folder and refer to them by relative paths.");
            break;
        case Finding::IgnoredManifest:
            advice << QStringLiteral(
                "Manifest: it is ignored, so the app runs as Quillet with Quillet's data folders. "
                "Make it a JSON object with at least \"name\".");
            break;
        case Finding::Manifest:
            advice << QStringLiteral(
                "Manifest: correct the members named above; until then the app runs as they say.");
            break;
        }
    }
    return advice;
}
