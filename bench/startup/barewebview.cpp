// The baseline: the least a QtWebKit program does to show a bundled page.
// It registers Widget.rcc from its folder, loads qrc:/index.html in a plain
// QWebView, and quits when the page closes its window.
#include <QApplication>
#include <QResource>
#include <QUrl>
#include <QWebPage>
#include <QWebView>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QResource::registerResource(QCoreApplication::applicationDirPath() + "/Widget.rcc");
    QWebView view;
    QObject::connect(view.page(), &QWebPage::windowCloseRequested, &app, &QApplication::quit);
    view.resize(800, 600);
    view.load(QUrl("qrc:/index.html"));
    view.show();
    return app.exec();
}
