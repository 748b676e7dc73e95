#include "app/AppVersion.h"

QString programVersionText()
{
    return QStringLiteral("%1.%2").arg(ProgramVersionMajor).arg(ProgramVersionMinor);
}
