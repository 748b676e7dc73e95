#pragma once

#include <QtGlobal>

// What the emission test needs of the polling thread. The program passes the
// thread (EmissionTestThreadLink); tests feed it without an instrument.
class EmissionTestDevice
{
public:
    virtual ~EmissionTestDevice() = default;

    // Kind of the thread's last answer (2: readings).
    virtual int dataKind() const = 0;
    virtual void requestOperation(int code, int repeat, quint16 argument) = 0;
    // True once after each finished zero correction.
    virtual bool takeZeroCorrectionFinished() = 0;
};
