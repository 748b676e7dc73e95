#pragma once

// Helpers of the emission test's tests: a measuring page with the controls
// the test drives, an instrument feed without an instrument, and a script that
// answers the modal boxes and dialogs the handlers open.

#include "app/EmissionProcedureControls.h"
#include "app/StepButtonLook.h"
#include "tests/app/emission_feed.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace emission {

// The group "Операции" and the vehicle edits of the measuring page.
class MeasuringPage : public QWidget
{
public:
    MeasuringPage()
    {
        resize(300, 300);
        int top = 8;
        auto step
            = [&](const char *name, const char *shapeName, const char *okName,
                  const QString &caption, QAbstractButton *&button, QWidget *&shape, QWidget *&ok) {
                  shape = new QWidget(this);
                  shape->setObjectName(QLatin1String(shapeName));
                  shape->setGeometry(30, top, 180, 30);
                  button = new QPushButton(caption, this);
                  button->setObjectName(QLatin1String(name));
                  button->setGeometry(34, top + 4, 172, 22);
                  auto *mark = new QLabel(QStringLiteral("✓"), this);
                  mark->setObjectName(QLatin1String(okName));
                  mark->setGeometry(8, top, 20, 30);
                  mark->hide();
                  ok = mark;
                  StepButtonLook::setIdle(button, shape);
                  top += 40;
              };
        step("btnZero", "ShapeZero", "OKZero", QStringLiteral("F1 - Кор. нуля"), c.btnZero,
            c.ShapeZero, c.OKZero);
        step("btnMinRatio", "ShapeMinRatio", "OKMinRatio", QStringLiteral("F2 - Мин. обороты"),
            c.btnMinRatio, c.ShapeMinRatio, c.OKMinRatio);
        step("btnMaxRatio", "ShapeMaxRatio", "OKMaxRatio", QStringLiteral("F3 - Пов. обороты"),
            c.btnMaxRatio, c.ShapeMaxRatio, c.OKMaxRatio);
        step("btnReport", "Shape8", "OKReport", QStringLiteral("F4 - Отчёт"), c.btnReport, c.Shape8,
            c.OKReport);
        c.MainProgress = new QProgressBar(this);
        c.MainProgress->setObjectName(QStringLiteral("MainProgress"));
        c.MainProgress->setGeometry(8, top, 200, 16);
        c.edModel = new QLineEdit(this);
        c.edModel->setObjectName(QStringLiteral("edModel"));
        c.edModel->setReadOnly(true);
        c.edModel->setGeometry(8, top + 24, 200, 22);
        c.edGosNum = new QLineEdit(this);
        c.edGosNum->setObjectName(QStringLiteral("edGosNum"));
        c.edGosNum->setReadOnly(true);
        c.edGosNum->setGeometry(8, top + 50, 200, 22);
        c.labZMStatus = new QLabel(this);
        c.labZMStatus->setObjectName(QStringLiteral("labZMStatus"));
        c.labDStatus = new QLabel(this);
        c.labDStatus->setObjectName(QStringLiteral("labDStatus"));
    }

    EmissionProcedureControls c;
};

// The number a text shows, with either decimal separator.
inline double numberIn(const QString &text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    return t.toDouble();
}

// The fill the rectangle under a step button shows.
inline QColor shapeFill(QWidget *shape)
{
    const QImage image = shape->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// What a modal message box showed.
struct BoxSeen
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Answers the modal windows that appear, one step per window in the order
// they are shown. A window that appears with no step left is closed and
// counted in `unexpected`.
class ModalScript : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;

    ModalScript() { qApp->installEventFilter(this); }
    ~ModalScript() override { qApp->removeEventFilter(this); }

    ModalScript &then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }
    // Presses a button of the next message box.
    ModalScript &press(QMessageBox::StandardButton button)
    {
        return then([button](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w))
                if (QAbstractButton *b = box->button(button))
                    b->click();
        });
    }

    bool done() const { return m_steps.empty(); }

    std::vector<BoxSeen> boxes;
    QStringList windows; // objectName or class of every modal window shown
    int unexpected = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            if (w->isWindow() && w->isModal()) {
                QPointer<QWidget> p(w);
                // Answer from the modal loop, once the window is up.
                QTimer::singleShot(0, this, [this, p] {
                    if (p && p->isVisible())
                        handle(p);
                });
            }
        }
        return false;
    }

private:
    void handle(QWidget *w)
    {
        windows << (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                              : w->objectName());
        if (auto *box = qobject_cast<QMessageBox *>(w))
            boxes.push_back(
                { box->windowTitle(), box->text(), box->icon(), box->standardButtons() });
        if (m_steps.empty()) {
            ++unexpected;
            w->close();
            return;
        }
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(w);
    }

    std::deque<Step> m_steps;
};

// Types text into a widget one character at a time, as a keyboard would;
// Cyrillic letters included.
inline void typeText(QWidget *w, const QString &text)
{
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace emission
