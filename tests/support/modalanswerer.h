#ifndef QUILLET_TESTS_MODALANSWERER_H
#define QUILLET_TESTS_MODALANSWERER_H

#include <QObject>
#include <QTimer>

#include <functional>

class QFileDialog;
class QPrintDialog;
class QWidget;

// Answers modal dialogs and pop-up menus from a timer, as a user would: while
// one is active, answer is called with it every interval ms until it closes.
class ModalAnswerer : public QObject {
public:
    using Answer = std::function<void(QWidget*)>;
    explicit ModalAnswerer(Answer answer, int intervalMs = 20);

    // Types fileName into a file dialog and accepts it; an empty name dismisses it.
    static void typeFileName(QFileDialog* dialog, const QString& fileName);
    // Chooses printing to the PDF file pdf in a print dialog, then accepts or
    // rejects it.
    static void printToPdf(QPrintDialog* dialog, const QString& pdf, bool accept = true);
    // The text of a PDF file (pdftotext), empty when there is none.
    static QByteArray pdfText(const QString& pdf);

private:
    QTimer m_timer;
};

#endif
