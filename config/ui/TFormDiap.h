#pragma once

#include <QDialog>

// The measurement ranges dialog: the display ranges of the five gases.
// For now an empty dialog; its controls follow.
class TFormDiap : public QDialog
{
    Q_OBJECT

public:
    explicit TFormDiap(QWidget *parent = nullptr);
};
