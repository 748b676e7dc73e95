#include "config/ui/TFormDiap.h"

TFormDiap::TFormDiap(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormDiap"));
    setWindowTitle(QStringLiteral("Настройка диапазонов"));
}
