#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The program box "О программе": picture, address and the version.
class TFormAboutProg : public QDialog
{
    Q_OBJECT

public:
    explicit TFormAboutProg(QWidget *parent = nullptr);

    QLabel *labProgVersion = nullptr;
    QPushButton *btnClose = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
