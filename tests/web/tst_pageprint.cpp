// window.print(): the print dialog is modal and parented to the view;
// cancelling prints nothing, accepting prints the frame that asked. The
// dialog is driven from a timer: its printer is pointed at a PDF file.
#include "tests/support/isolatedhome.h"
#include "tests/web/webtesthelpers.h"
#include "web/sitespecificwebview.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

class TestPagePrint : public QObject {
    Q_OBJECT
    IsolatedHome m_home;
    QTemporaryDir m_out;

    struct Seen {
        QPointer<QWidget> parent;
        bool answered = false;
    };
    Seen m_seen;

    // Asks the page to print (WebKit may defer the request until the
    // document has finished loading) and answers the print dialog once it is
    // the active modal widget.
    void printWithDialog(QWebFrame* frame, const QString& pdfPath, bool accept)
    {
        m_seen = Seen();
        QTimer poll;
        poll.setInterval(50);
        connect(&poll, &QTimer::timeout, this, [this, pdfPath, accept] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog || m_seen.answered)
                return;
            m_seen.answered = true;
            m_seen.parent = dialog->parentWidget();
            choosePdfFile(dialog, pdfPath);
            accept ? dialog->accept() : dialog->reject();
        });
        poll.start();
        js(frame, "setTimeout(function () { window.print(); }, 0)");
        QTRY_VERIFY_WITH_TIMEOUT(m_seen.answered && !QApplication::activeModalWidget(), 10000);
    }

    // The dialog copies its own choices to the printer when accepted, so the
    // file is chosen in the dialog: its "Print to File (PDF)" entry and name.
    static void choosePdfFile(QPrintDialog* dialog, const QString& pdfPath)
    {
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(pdfPath);
        if (auto* printers = dialog->findChild<QComboBox*>("printers"))
            printers->setCurrentIndex(printers->count() - 1);
        if (auto* fileName = dialog->findChild<QLineEdit*>("filename"))
            fileName->setText(pdfPath);
    }

    static QString pdfText(const QString& path)
    {
        QProcess tool;
        tool.start("pdftotext", {path, "-"});
        if (!tool.waitForFinished(10000))
            return QString();
        return QString::fromUtf8(tool.readAllStandardOutput());
    }

private slots:
    void initTestCase() { QVERIFY(m_out.isValid()); }

    void acceptingPrintsThePageToTheChosenPdf()
    {
        SiteSpecificWebView view;
        view.show();
        QVERIFY(loadAndWait(view.page(), originUrl("/print.html")));
        const QString pdf = m_out.filePath("accepted.pdf");
        printWithDialog(view.page()->mainFrame(), pdf, true);
        QCOMPARE(m_seen.parent.data(), static_cast<QWidget*>(&view));
        QVERIFY(QFile::exists(pdf));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains("Walnut ledger printout"), qPrintable(text));
        QVERIFY(text.contains("Seventeen amber quills."));
    }

    void cancellingPrintsNothing()
    {
        SiteSpecificWebView view;
        view.show();
        QVERIFY(loadAndWait(view.page(), originUrl("/print.html")));
        const QString pdf = m_out.filePath("cancelled.pdf");
        printWithDialog(view.page()->mainFrame(), pdf, false);
        QVERIFY(m_seen.answered);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(js(view.page()->mainFrame(), "document.title"), QStringLiteral("print"));
    }
};

QTEST_MAIN(TestPagePrint)
#include "tst_pageprint.moc"
