#include "app/TFormAboutZM.h"

#include "app/DialogPlacement.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {
constexpr int BoxWidth = 440;
constexpr int ValueWidth = 280;
const char *const Unknown = "-1";
} // namespace

TFormAboutZM::TFormAboutZM(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAboutZM"));
    setWindowTitle(QStringLiteral("Состояние связи"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);

    auto *grid = new QGridLayout(this);
    auto addRow = [&](int row, const QString &caption, const char *name) {
        auto *value = new QLabel(QString::fromLatin1(Unknown), this);
        value->setObjectName(QString::fromLatin1(name));
        value->setTextFormat(Qt::PlainText); // a port name is typed data, never markup
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *label = new QLabel(caption, this);
        label->setBuddy(value);
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(value, row, 1);
        return value;
    };
    labZMModel = addRow(0, QStringLiteral("Zelmor:"), "labZMModel");
    labFirmware = addRow(1, QStringLiteral("Версия прошивки:"), "labFirmware");
    labZMNumber = addRow(2, QStringLiteral("Серийный номер:"), "labZMNumber");
    labComStatus = addRow(3, QStringLiteral("Связь:"), "labComStatus");
    // The link text names the port and, after a failure, what went wrong:
    // it wraps within the box rather than being cut off.
    labComStatus->setWordWrap(true);
    grid->setAlignment(labComStatus, Qt::AlignLeft | Qt::AlignTop);
    grid->setColumnStretch(1, 1);

    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(btnClose, 4, 0, 1, 2, Qt::AlignHCenter);

    // The operator cannot resize the box; it takes the size its texts need
    // each time they change (a long port name or a link problem).
    labComStatus->setMinimumWidth(ValueWidth);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(BoxWidth);
}

void TFormAboutZM::setLinkState(const QString &text)
{
    labComStatus->setText(text);
}

void TFormAboutZM::showEvent(QShowEvent *event)
{
    // A word longer than the value column (a port path) widens the box
    // instead of being cut.
    int longest = ValueWidth;
    const QFontMetrics metrics = labComStatus->fontMetrics();
    for (const QString &word : labComStatus->text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        longest = std::max(longest, metrics.horizontalAdvance(word) + 2);
    labComStatus->setMinimumWidth(longest);
    DialogPlacement::centreOnParent(this);
    QDialog::showEvent(event);
}
