#include "app/EmissionProcedureThreadLink.h"

#include "device/TOpros_ZMX.h"

int EmissionProcedureThreadLink::dataKind() const
{
    return m_thread.snapshot().DataKind;
}

void EmissionProcedureThreadLink::requestOperation(ZmxCommand code, int repeat, quint16 argument)
{
    if (m_request)
        m_request(code, repeat, argument);
    else
        m_thread.RequestOperation(code, repeat, argument);
}

void EmissionProcedureThreadLink::requestRecordCountReset()
{
    m_thread.requestRecordCountReset();
}

bool EmissionProcedureThreadLink::takeZeroCorrectionFinished()
{
    return m_thread.takeZeroCorrectionFinished();
}

bool EmissionProcedureThreadLink::takeZeroCorrectionFailed(QString *errorText)
{
    return m_thread.takeZeroCorrectionFailed(errorText);
}
