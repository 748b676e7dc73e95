#include "app/StepButtonLook.h"

#include <QAbstractButton>
#include <QPalette>
#include <QWidget>

namespace StepButtonLook {

static const char *RunningProperty = "stepRunning";

static QString rgb(const QColor &c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

static void apply(
    QAbstractButton *button, QWidget *shape, const QColor &text, const QColor &fill, bool running)
{
    if (button) {
        // A flat button laid over its rectangle: only the text is painted.
        button->setStyleSheet(
            QStringLiteral("color: %1; background: transparent; border: none;").arg(rgb(text)));
        button->setProperty(RunningProperty, running);
    }
    if (shape) {
        shape->setAttribute(Qt::WA_StyledBackground, true);
        shape->setAutoFillBackground(true);
        QPalette palette = shape->palette();
        palette.setColor(QPalette::Window, fill);
        shape->setPalette(palette);
        shape->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid %2;")
                                 .arg(rgb(fill), rgb(Border)));
    }
}

void setIdle(QAbstractButton *button, QWidget *shape)
{
    apply(button, shape, IdleText, IdleFill, false);
}

void setRunning(QAbstractButton *button, QWidget *shape)
{
    apply(button, shape, RunningText, RunningFill, true);
}

bool isRunning(const QAbstractButton *button)
{
    return button && button->property(RunningProperty).toBool();
}

} // namespace StepButtonLook
