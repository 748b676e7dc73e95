#pragma once

#include "app/EmissionTestDevice.h"

class TOpros_ZMX;

// The emission test's view of the polling thread.
class EmissionTestThreadLink : public EmissionTestDevice
{
public:
    explicit EmissionTestThreadLink(TOpros_ZMX &thread)
        : m_thread(thread)
    { }

    int dataKind() const override;
    void requestOperation(int code, int repeat, quint16 argument) override;
    bool takeZeroCorrectionFinished() override;

private:
    TOpros_ZMX &m_thread;
};
