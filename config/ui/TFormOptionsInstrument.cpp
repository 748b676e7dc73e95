#include "config/ui/TFormOptions.h"

#include "config/ui/OptionsLayout.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>

// The page "Прибор": the instrument's verification certificate, stored with
// every result and printed on its protocol.

using namespace OptionsLayout;

QWidget *TFormOptions::buildInstrumentPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabInstrument"));
    edVerificationCertificate = new QLineEdit(page);
    edVerificationCertificate->setObjectName(QStringLiteral("edVerificationCertificate"));
    edVerificationCertificate->setGeometry(controlLeft, 32, wideWidth, editHeight);
    auto *label = new QLabel(QStringLiteral("Свидетельство о поверке №:"), page);
    label->setObjectName(QStringLiteral("labVerificationCertificate"));
    label->setBuddy(edVerificationCertificate);
    label->setGeometry(controlLeft, 32 - labelAbove, wideWidth, labelAbove);

    cbVerificationValidUntil = new QCheckBox(QStringLiteral("Действительно до:"), page);
    cbVerificationValidUntil->setObjectName(QStringLiteral("cbVerificationValidUntil"));
    cbVerificationValidUntil->setGeometry(controlLeft, 72, wideWidth, editHeight);
    edVerificationValidUntil = new QDateEdit(page);
    edVerificationValidUntil->setObjectName(QStringLiteral("edVerificationValidUntil"));
    edVerificationValidUntil->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    edVerificationValidUntil->setCalendarPopup(true);
    edVerificationValidUntil->setGeometry(controlLeft, 96, narrowWidth, editHeight);
    connect(cbVerificationValidUntil, &QCheckBox::toggled, edVerificationValidUntil,
        &QWidget::setEnabled);

    auto *note = new QLabel(page);
    note->setObjectName(QStringLiteral("labVerificationNote"));
    note->setWordWrap(true);
    note->setGeometry(controlLeft, 132, pagesRect.width() - 2 * controlLeft, 64);
    note->setText(QStringLiteral("Свидетельство и оператор сохраняются с каждым результатом и "
                                 "печатаются в протоколе. Результат, сохранённый после этой даты, "
                                 "помечается «Срок поверки прибора истёк»."));
    return page;
}

void TFormOptions::verificationDateToControls(const QDate &date)
{
    cbVerificationValidUntil->setChecked(date.isValid());
    edVerificationValidUntil->setEnabled(date.isValid());
    edVerificationValidUntil->setDate(date.isValid() ? date : QDate::currentDate().addYears(1));
}

QDate TFormOptions::verificationDateFromControls() const
{
    return cbVerificationValidUntil->isChecked() ? edVerificationValidUntil->date() : QDate();
}
