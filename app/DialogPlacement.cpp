#include "app/DialogPlacement.h"

#include <QApplication>
#include <QWidget>

namespace DialogPlacement {

void centreOnParent(QWidget *box)
{
    QWidget *owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
    if (!owner) {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("FormMain")) {
                owner = top;
                break;
            }
        }
    }
    if (!owner || owner == box)
        return;
    const QRect area = owner->frameGeometry();
    box->move(area.center() - QPoint(box->width() / 2, box->height() / 2));
}

} // namespace DialogPlacement
