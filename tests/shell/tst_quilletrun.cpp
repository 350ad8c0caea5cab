// Runs of the real executable from a temporary install folder, started from
// another folder, with its own home. Runs under a virtual X server: the
// program's windows there are real X11 windows (QT_QPA_PLATFORM=xcb), where
// a huge window or a damaged bundle crashed it, and are closed as a window
// manager closes them.
#include "tests/support/quilletinstance.h"
#include "tests/support/recordinghttpserver.h"

#include <QFile>
#include <QSettings>
#include <QTest>
#include <QtEndian>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// A client of the X display ($DISPLAY) that stays connected while the test
// runs: an X server resets when its last client goes, and a program that
// connects during a reset fails to start.
class XDisplay {
public:
    XDisplay()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        m_protocols = atom("WM_PROTOCOLS");
        m_deleteWindow = atom("WM_DELETE_WINDOW");
    }
    ~XDisplay() { xcb_disconnect(m_connection); }

    // The viewable top-level windows titled `title`; with `close`, each is
    // asked to close (WM_DELETE_WINDOW), as a window manager does.
    int topLevelWindows(const QByteArray& title, bool close = false)
    {
        if (xcb_connection_has_error(m_connection))
            return -1;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, root), nullptr);
        int found = 0;
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
            const xcb_window_t window = xcb_query_tree_children(tree)[i];
            if (!isViewable(window) || nameOf(window) != title)
                continue;
            ++found;
            if (close)
                askToClose(window);
        }
        free(tree);
        xcb_flush(m_connection);
        return found;
    }

private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return value;
    }
    bool isViewable(xcb_window_t window)
    {
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
        const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        free(attributes);
        return viewable;
    }
    QByteArray nameOf(xcb_window_t window)
    {
        xcb_get_property_reply_t* name = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_NAME,
                                           XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
        const QByteArray text = name ? QByteArray(static_cast<const char*>(xcb_get_property_value(name)),
                                                  xcb_get_property_value_length(name))
                                     : QByteArray();
        free(name);
        return text;
    }
    void askToClose(xcb_window_t window)
    {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = m_protocols;
        event.data.data32[0] = m_deleteWindow;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
    }

    xcb_connection_t* m_connection;
    xcb_atom_t m_protocols = XCB_ATOM_NONE;
    xcb_atom_t m_deleteWindow = XCB_ATOM_NONE;
};

QByteArray sampleBundle()
{
    QFile file(QStringLiteral(QUILLET_BUILD_ROOT "/Widget.rcc"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBigEndian32(QByteArray& data, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        data[offset + i] = char(value >> (24 - 8 * i));
}

}  // namespace

class TestQuilletRun : public QObject {
    Q_OBJECT
    XDisplay m_display;

    static QSettings settingsOf(const QuilletInstance& quillet)
    {
        return QSettings(quillet.settingsFilePath(), QSettings::IniFormat);
    }
    // A start page that tells the server it loaded.
    static QByteArray reportingPage(const RecordingHttpServer& server)
    {
        return "<html><body><h1>Test bundle</h1><script>new Image().src='" + server.baseUrl()
            + "/loaded';</script></body></html>";
    }
    int windows() { return m_display.topLevelWindows("Quillet"); }
    // Closes every window of the program on the X display and waits for it
    // to end by itself.
    bool closeWindowsAndWait(QuilletInstance& quillet)
    {
        return m_display.topLevelWindows("Quillet", true) > 0 && quillet.waitForExit(10000)
            && quillet.exitStatus() == QProcess::NormalExit;
    }

private slots:
    void findsTheBundleNextToItsExecutable()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QuilletInstance quillet;
        quillet.addBundleFile("index.html", reportingPage(server));
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QVERIFY2(server.waitForRequest("/loaded", 20000), quillet.output().constData());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
    }

    void sigtermEndsInOrderAndSavesGeometry()
    {
        QuilletInstance quillet;
        QVERIFY(quillet.useSampleBundle());
        QVERIFY(quillet.start());
        QTest::qWait(1500);
        QVERIFY(quillet.isRunning());
        quillet.terminate();
        QVERIFY(quillet.waitForExit(10000));
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        QSettings s = settingsOf(quillet);
        QCOMPARE(s.value("Window/size").toSize(), QSize(800, 600));
        QCOMPARE(s.value("Window/pos").toPoint(), QPoint(0, 0));
    }

    // A saved size far beyond the screen (1280 x 1024 here) opens the main
    // window, and a pop-up, within it; it crashed every start.
    void savedSizeBeyondTheScreenOpensWithinIt()
    {
        QuilletInstance quillet;
        quillet.setEnvironmentValue("QT_QPA_PLATFORM", "xcb");
        QSettings(quillet.settingsFilePath(), QSettings::IniFormat).setValue("Window/size", QSize(40000, 40000));
        quillet.addBundleFile("index.html", "<script>window.open('about:blank', 'extra');</script>");
        QVERIFY(quillet.buildBundle());
        QVERIFY(quillet.start());
        QTRY_VERIFY2_WITH_TIMEOUT(windows() == 2, quillet.output().constData(), 20000);
        QTest::qWait(500);
        QVERIFY2(closeWindowsAndWait(quillet), quillet.output().constData());
        QCOMPARE(quillet.exitCode(), 0);
        const QSize saved = settingsOf(quillet).value("Window/size").toSize();
        QVERIFY2(saved.width() <= 1280 && saved.height() <= 1024, qPrintable(QString::number(saved.width())));
    }

    void unusableBundleIsExplainedAndClosingEnds_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing" << "The file does not exist.";
        QTest::newRow("empty") << "empty" << "The file is empty.";
        QTest::newRow("garbage") << "garbage" << "The file is not a resource bundle.";
        QTest::newRow("bad data offset") << "data offset" << "It is damaged";
        QTest::newRow("flipped bits in the index") << "flipped" << "It is damaged";
        QTest::newRow("no index.html") << "no index" << "It has no start page, index.html.";
    }

    // Never registered: the window and standard error say what is wrong and
    // where the program looked; closing the window ends it with status 1.
    void unusableBundleIsExplainedAndClosingEnds()
    {
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        QuilletInstance quillet;
        quillet.setEnvironmentValue("QT_QPA_PLATFORM", "xcb");
        QByteArray bundle = sampleBundle();
        QVERIFY(bundle.size() > 1000);
        const int tree = int(qFromBigEndian<quint32>(bundle.constData() + 8));
        if (damage == "empty") {
            bundle.clear();
        } else if (damage == "garbage") {
            for (int i = 0; i < bundle.size(); ++i)
                bundle[i] = char((i * 7919 + 13) >> 3);
        } else if (damage == "data offset") {
            writeBigEndian32(bundle, 12, quint32(bundle.size() - 8));
        } else if (damage == "flipped") {
            bundle[tree + 22 + 10] = char(bundle[tree + 22 + 10] ^ 0x80);  // the first child's offset
        }
        if (damage == "no index") {
            quillet.addBundleFile("widget/index.html", "<p>no start page at the root</p>");
            QVERIFY(quillet.buildBundle());
        } else if (damage == "missing") {
            quillet.removeBundle();
        } else {
            QFile file(quillet.bundlePath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bundle) == bundle.size());
        }
        QVERIFY(quillet.start());
        QTRY_VERIFY2_WITH_TIMEOUT(windows() == 1, quillet.output().constData(), 20000);
        const QByteArray said = quillet.output();
        QVERIFY2(said.contains("The application cannot start: its bundle cannot be used.\nLooked for: "
                               + quillet.bundlePath().toUtf8() + '\n' + reason.toUtf8()),
                 said.constData());
        QVERIFY2(closeWindowsAndWait(quillet), quillet.output().constData());
        QCOMPARE(quillet.exitCode(), 1);
    }
};

QTEST_MAIN(TestQuilletRun)
#include "tst_quilletrun.moc"
