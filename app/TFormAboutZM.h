#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The instrument box "Состояние связи": what the last connect learnt about
// the instrument. The connect sequence writes the four value labels.
class TFormAboutZM : public QDialog
{
    Q_OBJECT

public:
    explicit TFormAboutZM(QWidget *parent = nullptr);

    // The "Связь:" value: the link's state, or why there is none.
    void setLinkState(const QString &text);

    QLabel *labZMModel = nullptr;
    QLabel *labFirmware = nullptr;
    QLabel *labZMNumber = nullptr;
    QLabel *labComStatus = nullptr;
    QPushButton *btnClose = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
