#pragma once

#include <QDate>
#include <QString>

// The values of the options dialog as they were last loaded or saved; the
// dialog shows these whenever it opens, so a cancelled edit is forgotten.
struct OptionsRecord
{
    QString ComName;
    int Speed = 0;
    int TimeOut = 0;
    int LineWidth = 0;
    int ShowGrid = 0; // check-box state: 0 clear, 1 ticked, 2 greyed
    int ShowEdIzm = 0; // likewise
    int StartMode = -1; // chosen entry of the mode list, -1 for none
    int Language = -1; // chosen entry of the language list, -1 for none
    QString PrinterName;
    QString Place;
    QString Operator;
    QString VerificationCertificate;
    QDate VerificationValidUntil; // invalid: not set

    bool operator==(const OptionsRecord &) const = default;
};
