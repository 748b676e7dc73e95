#include "app/EmissionTestThreadLink.h"

#include "device/TOpros_ZMX.h"

int EmissionTestThreadLink::dataKind() const
{
    return m_thread.snapshot().DataKind;
}

void EmissionTestThreadLink::requestOperation(int code, int repeat, quint16 argument)
{
    m_thread.RequestOperation(code, repeat, argument);
}

bool EmissionTestThreadLink::takeZeroCorrectionFinished()
{
    return m_thread.takeZeroCorrectionFinished();
}
