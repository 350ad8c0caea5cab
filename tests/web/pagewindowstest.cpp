// Script requests on a view in a top-level window, in-process, where window states and
// modal dialogs are driven: full screen, bounds, pop-ups, printing, closing.
#include "modalanswerer.h"
#include "quilletinstance.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QPrintDialog>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebFrame>
#include <QWebSettings>

class TestPageWindows : public QObject {
    Q_OBJECT
    IsolatedEnvironment m_home;
    int m_callbacksRun = 0;  // by scripts, through callbackRan()
    QList<QUrl> m_mailed;    // URLs handed to the desktop's mail program
    std::unique_ptr<QWidget> m_window;
    SiteSpecificWebView* m_view = nullptr;

    QWebFrame* frame() const { return m_view->page()->mainFrame(); }
    static QString js(QWebFrame* f, const QString& code)
    {
        return f->evaluateJavaScript(code).toString();
    }
    bool load(const QString& path)
    {
        QSignalSpy loaded(m_view->page(), &QWebPage::loadFinished);
        frame()->load(QUrl(applicationOrigin() + path.toUtf8()));  // the test bundle
        return loaded.wait(10000) && loaded.first().first().toBool();
    }
    static QList<SiteSpecificWebView*> popups()
    {
        QList<SiteSpecificWebView*> views;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* view = dynamic_cast<SiteSpecificWebView*>(widget))
                views.append(view);
        return views;
    }

public slots:
    void callbackRan() { ++m_callbacksRun; }
    void mail(const QUrl& url) { m_mailed << url; }

private slots:
    void initTestCase()
    {
        QWebSettings::globalSettings()->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
        QDesktopServices::setUrlHandler("mailto", this, "mail");
    }

    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_view = new SiteSpecificWebView(m_window.get());
        (new QVBoxLayout(m_window.get()))->addWidget(m_view);
        m_window->resize(500, 400);
        m_window->show();
        QVERIFY(load("/frames.html"));
    }

    void cleanup()
    {
        m_window.reset();
        qDeleteAll(popups());
    }

    // A page's own corvane replaces the namespace but not the bridge object, which
    // scripts cannot delete either; the next document gets a fresh bridge.
    void pagesCannotRemoveTheBridgeAndTheNextGetsAFreshOne()
    {
        js(frame(), "var corvane = {mine: true};");
        QCOMPARE(js(frame(), "String(corvane.mine) + ' ' + typeof corvane.vesk"),
                 QStringLiteral("true undefined"));
        js(frame(), "window.marker = 1; corvane_skyfold_zem.setMinWindowSize(220, 180);"
                    "corvane_skyfold_zem.deleteLater(); corvane_skyfold_zem = null;");
        QCOMPARE(m_window->minimumSize(), QSize(220, 180));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(load("/frames.html"));
        QCOMPARE(js(frame(), "typeof window.marker"), QStringLiteral("undefined"));
        QCOMPARE(js(frame(), "seenAtStart"), QStringLiteral("object object"));
        js(frame(), "corvane.vesk.casewright.setmaxwindowsize(610, 510)");
        QCOMPARE(m_window->maximumSize(), QSize(610, 510));
    }

    // The bridge's full screen leaves a minimised state, and leaving it a maximised one.
    void fullScreenOfTheBridgeAndTheDocumentAgreeWithTheWindow()
    {
        m_window->showMinimized();
        QTRY_VERIFY(m_window->isMinimized());
        js(frame(), "corvane.vesk.casewright.setfullscreen()");
        QCOMPARE(m_window->windowState(), Qt::WindowFullScreen);
        QTRY_COMPARE(m_window->size(), QGuiApplication::primaryScreen()->geometry().size());
        m_window->showMaximized();
        QTRY_VERIFY(m_window->isMaximized());
        js(frame(), "corvane.vesk.casewright.exitfullscreen()");
        QCOMPARE(m_window->windowState(), Qt::WindowNoState);
        QTRY_COMPARE(m_window->size(), QSize(500, 400));

        // A document's full screen, asked for by a click, takes the window too; its state
        // follows whatever leaves full screen: Escape, F11, the bridge, the document.
        js(frame(), "var cover = document.body.appendChild(document.createElement('div'));"
                    "cover.style.cssText = 'position:fixed;left:0;top:0;right:0;bottom:0';"
                    "cover.onclick = function () { document.body.webkitRequestFullscreen(); };"
                    "var changes = 0; document.addEventListener('webkitfullscreenchange',"
                    " function () { ++changes; });"
                    "function state() { return changes + ' '"
                    " + (document.webkitFullscreenElement ? 'page' : 'none'); }");
        const std::function<void()> exits[]
            = {[this] { QTest::keyClick(m_view, Qt::Key_Escape); },
               [this] { QTest::keyClick(m_view, Qt::Key_F11); },
               [this] { js(frame(), "corvane.vesk.casewright.exitfullscreen()"); },
               [this] { js(frame(), "document.webkitExitFullscreen()"); }};
        int changes = 0;
        for (const auto& leave : exits) {
            QTest::mouseClick(m_view, Qt::LeftButton, {}, QPoint(20, 20));
            QTRY_COMPARE(m_window->windowState(), Qt::WindowFullScreen);
            const QString entered = QString("%1 page").arg(++changes);
            QTRY_COMPARE(js(frame(), "state()"), entered);
            leave();
            const QString left = QString("%1 none").arg(++changes);
            QTRY_COMPARE(js(frame(), "state()"), left);
            QCOMPARE(m_window->windowState(), Qt::WindowNoState);
        }
    }

    // Bounds that no screen can show are clamped to the largest screen; values
    // that are no size at all leave the bounds and the window as they were.
    void windowBoundsFromScriptStayWithinTheScreens()
    {
        QSize screen;
        for (QScreen* s : QGuiApplication::screens())
            screen = screen.expandedTo(s->geometry().size());
        const QSize before = m_window->size(), minimum = m_window->minimumSize(),
                    maximum = m_window->maximumSize();
        const char* rows[][2] = {{"setminwindowsize(40000, 40000)", "min"},
                                 {"setmaxwindowsize(1e10, 1e10)", "max"},
                                 {"setmaxwindowsize(0, 300)", ""},
                                 {"setmaxwindowsize('wide', {})", ""},
                                 {"setmaxwindowsize(Infinity, Infinity)", ""}};
        for (const auto& [call, clamped] : rows) {
            js(frame(), QString("corvane.vesk.casewright.") + call);
            const QSize now = m_window->size(), min = m_window->minimumSize(),
                        max = m_window->maximumSize();
            // Put back before the event loop paints a window of that size.
            m_window->setMinimumSize(minimum);
            m_window->setMaximumSize(maximum);
            m_window->resize(before);
            QCOMPARE(min, clamped == QString("min") ? screen : minimum);
            QCOMPARE(max, clamped == QString("max") ? screen : maximum);
            QCOMPARE(now, clamped == QString("min") ? screen : before);
        }
    }

    // window.open() gives a window deleted when its page closes it; "mailto:" is handed over.
    // "destroyed" fires while a page is torn down, when script corrupts the heap: none may run.
    void popupIsDeletedWhenClosedAndNoScriptRunsWhileAPageIsDestroyed()
    {
        js(frame(), "window.open('/child.html', 'extra')");
        QTRY_COMPARE(popups().size(), 1);
        QPointer<SiteSpecificWebView> popup = popups().first();
        QVERIFY(popup->isWindow() && popup->isVisible());
        QTRY_COMPARE(popup->page()->mainFrame()->url(), QUrl(applicationOrigin() + "/child.html"));
        const QString connect = "corvane_skyfold_zem.destroyed.connect(function () {"
                                " probe.callbackRan(); var x = new XMLHttpRequest();"
                                " x.open('GET', '/child.html'); x.send(); }); 'connected'";
        for (QWebFrame* f : {popup->page()->mainFrame(), frame()}) {
            f->addToJavaScriptWindowObject("probe", this);
            QCOMPARE(js(f, connect), QStringLiteral("connected"));
        }
        js(popup->page()->mainFrame(), "window.close()");
        QTRY_VERIFY(popup.isNull());
        js(frame(), "window.open('mailto:ann@example.org?subject=Quills')");
        QTRY_COMPARE(m_mailed, QList<QUrl>{QUrl("mailto:ann@example.org?subject=Quills")});
        QTRY_COMPARE(popups().size(), 0);
        QVERIFY(m_window->isVisible());
        m_window.reset();
        QTest::qWait(200);
        QCOMPARE(m_callbacksRun, 0);
    }

    // Accepting prints to the PDF chosen in the dialog (modal to the view), cancelling nothing.
    void printDialogDecidesWhatIsPrinted()
    {
        QVERIFY(load("/print.html"));
        for (const bool accept : {true, false}) {
            QTemporaryDir out;
            const QString pdf = out.filePath("printed.pdf");
            QPointer<QWidget> parent;
            bool answered = false;
            const ModalAnswerer answerer(
                [&](QWidget* modal) {
                    auto* dialog = qobject_cast<QPrintDialog*>(modal);
                    if (!dialog || std::exchange(answered, true))
                        return;
                    parent = dialog->parentWidget();
                    ModalAnswerer::printToPdf(dialog, pdf, accept);
                },
                50);
            // WebKit may defer the request until the document has finished loading.
            js(frame(), "setTimeout(function () { window.print(); }, 0)");
            QTRY_VERIFY_WITH_TIMEOUT(answered && !QApplication::activeModalWidget(), 10000);
            QCOMPARE(parent.data(), static_cast<QWidget*>(m_view));
            QCOMPARE(ModalAnswerer::pdfText(pdf),
                     accept ? QByteArray("Walnut ledger printout Seventeen amber quills.")
                            : QByteArray());
        }
    }

    // closeapplication() outside any loop, as in a test function, ends the next with 0. Last.
    void closeApplicationBeforeTheLoopRunsEndsItOnceItRuns()
    {
        QCOMPARE(QThread::currentThread()->loopLevel(), 0);
        js(frame(), "corvane.vesk.casewright.closeapplication()");
        QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestPageWindows)
#include "pagewindowstest.moc"
