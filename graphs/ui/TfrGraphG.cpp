#include "graphs/ui/TfrGraphG.h"

#include "graphs/ui/GraphPaintBox.h"

TfrGraphG::TfrGraphG(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TfrGraphG"));
    resize(FrameWidth, FrameHeight);
    Bar = new GraphPaintBox(this);
    Bar->setGeometry(rect());
    QPalette palette = Bar->palette();
    palette.setColor(QPalette::Window, Qt::white);
    Bar->setPalette(palette);
}

void TfrGraphG::resizeEvent(QResizeEvent *)
{
    Bar->setGeometry(rect());
}
