#include "app/TFormAboutProg.h"

#include "app/DialogPlacement.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {
constexpr int BoxWidth = 320;
constexpr int BoxHeight = 180;
constexpr int PictureSize = 48;
} // namespace

TFormAboutProg::TFormAboutProg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAboutProg"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);

    auto *grid = new QGridLayout(this);
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QApplication::style()
                           ->standardIcon(QStyle::SP_ComputerIcon)
                           .pixmap(PictureSize, PictureSize));
    grid->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);

    auto *title
        = new QLabel(QStringLiteral("<b>Zelmor</b><br>Рабочее место газоанализатора"), this);
    title->setObjectName(QStringLiteral("labTitle"));
    grid->addWidget(title, 0, 1, 1, 2);

    auto *address = new QLabel(QStringLiteral("www.zelmor.example"), this);
    address->setObjectName(QStringLiteral("labAddress"));
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(address, 1, 1, 1, 2);

    labProgVersion = new QLabel(this);
    labProgVersion->setObjectName(QStringLiteral("labProgVersion"));
    auto *versionCaption = new QLabel(QStringLiteral("Версия"), this);
    versionCaption->setBuddy(labProgVersion);
    grid->addWidget(versionCaption, 2, 1);
    grid->addWidget(labProgVersion, 2, 2);
    grid->setColumnStretch(2, 1);

    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(btnClose, 3, 0, 1, 3, Qt::AlignHCenter);

    setFixedSize(BoxWidth, BoxHeight);
}

void TFormAboutProg::showEvent(QShowEvent *event)
{
    DialogPlacement::centreOnParent(this);
    QDialog::showEvent(event);
}
