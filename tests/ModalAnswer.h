#pragma once

// Answers the message boxes a test raises, from inside their exec() loops: a scoped answerer
// for every box while it lives, and a one-shot answer for the next box.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <QtTest>

namespace ModalAnswer {

// Clicks `button` when the box has it; a box without it is ended with that result instead.
inline void close(QMessageBox *box, QMessageBox::StandardButton button)
{
    if (QAbstractButton *choice = box->button(button))
        choice->click();
    else
        box->done(button);
}

// Closes every message box that becomes modal while it lives with `button`, noting
// "title|text" of each.
class Scoped
{
public:
    explicit Scoped(QMessageBox::StandardButton button = QMessageBox::Ok)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, button] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                m_seen << box->windowTitle() + QLatin1Char('|') + box->text();
                close(box, button);
            }
        });
        m_timer.start();
    }
    QStringList seen() const { return m_seen; }

private:
    QTimer m_timer;
    QStringList m_seen;
};

// Answers the next message box that becomes modal (within about two seconds) with `button`,
// storing its text in `seenText` when given.
inline void answerNext(QMessageBox::StandardButton button, QString *seenText = nullptr)
{
    QTimer::singleShot(0, [=] {
        for (int i = 0; i < 200; ++i) {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                if (seenText)
                    *seenText = box->text();
                close(box, button);
                return;
            }
            QTest::qWait(10);
        }
    });
}

} // namespace ModalAnswer
