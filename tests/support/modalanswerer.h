#ifndef QUILLET_TESTS_MODALANSWERER_H
#define QUILLET_TESTS_MODALANSWERER_H

#include <QObject>
#include <QTimer>

#include <functional>

class QFileDialog;
class QString;
class QWidget;

// Answers modal dialogs and pop-up menus from a timer, as a user would: while
// one is active, answer is called with it every interval ms until it closes.
class ModalAnswerer : public QObject {
public:
    using Answer = std::function<void(QWidget*)>;
    explicit ModalAnswerer(Answer answer, int intervalMs = 20);

    // Types fileName into a file dialog and accepts it; an empty name dismisses it.
    static void typeFileName(QFileDialog* dialog, const QString& fileName);

private:
    QTimer m_timer;
};

#endif
