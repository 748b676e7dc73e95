#pragma once

#include "app/EmissionProcedureDevice.h"

class TOpros_ZMX;

// The emission test's view of the polling thread.
class EmissionProcedureThreadLink : public EmissionProcedureDevice
{
public:
    explicit EmissionProcedureThreadLink(TOpros_ZMX &thread)
        : m_thread(thread)
    { }

    int dataKind() const override;
    void requestOperation(ZmxCommand code, int repeat, quint16 argument) override;
    void requestRecordCountReset() override;
    bool takeZeroCorrectionFinished() override;

private:
    TOpros_ZMX &m_thread;
};
