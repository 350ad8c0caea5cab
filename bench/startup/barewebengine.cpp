// The baseline on Qt WebEngine: the least such a program does to show a
// bundled page. It registers Widget.rcc from its folder, loads
// qrc:/index.html in a plain QWebEngineView, and quits when the page closes
// its window.
#include <QApplication>
#include <QResource>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QResource::registerResource(QCoreApplication::applicationDirPath() + "/Widget.rcc");
    QWebEngineView view;
    QObject::connect(view.page(), &QWebEnginePage::windowCloseRequested, &app, &QApplication::quit);
    view.resize(800, 600);
    view.load(QUrl("qrc:/index.html"));
    view.show();
    return app.exec();
}
