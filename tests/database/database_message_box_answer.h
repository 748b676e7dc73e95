#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

// Answers the next message box the code under test shows (or the next few,
// one answer each) and remembers what it showed. Arm it before the click
// that opens the box.
class MessageBoxAnswer
{
public:
    explicit MessageBoxAnswer(QMessageBox::StandardButton answer)
        : MessageBoxAnswer(QList { answer })
    { }
    explicit MessageBoxAnswer(QList<QMessageBox::StandardButton> answers)
        : m_answers(std::move(answers))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    bool shown() const { return !texts.isEmpty(); }
    // Of the last box shown:
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QStringList texts; // of every box, in turn

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == m_last)
            return;
        m_last = box;
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        texts << text;
        const QMessageBox::StandardButton answer = m_answers.takeFirst();
        if (m_answers.isEmpty())
            m_timer.stop();
        if (QAbstractButton *b = box->button(answer))
            b->click();
        else
            box->reject();
    }

    QList<QMessageBox::StandardButton> m_answers;
    QPointer<QMessageBox> m_last;
    QTimer m_timer;
};
