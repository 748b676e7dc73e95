#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

// Answers the next message box the code under test shows and remembers what
// it showed. Arm it before the click that opens the box.
class MessageBoxAnswer
{
public:
    explicit MessageBoxAnswer(QMessageBox::StandardButton answer)
        : m_answer(answer)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    bool shown() const { return m_shown; }
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        m_shown = true;
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        m_timer.stop();
        if (QAbstractButton *b = box->button(m_answer))
            b->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    bool m_shown = false;
};

// Answers the boxes the code under test shows in turn, one answer each, and
// remembers their texts.
class MessageBoxAnswers
{
public:
    explicit MessageBoxAnswers(QList<QMessageBox::StandardButton> answers)
        : m_answers(std::move(answers))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    QStringList texts;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == m_last || m_answers.isEmpty())
            return;
        m_last = box;
        texts << box->text();
        if (QAbstractButton *b = box->button(m_answers.takeFirst()))
            b->click();
        else
            box->reject();
    }

    QList<QMessageBox::StandardButton> m_answers;
    QPointer<QMessageBox> m_last;
    QTimer m_timer;
};
