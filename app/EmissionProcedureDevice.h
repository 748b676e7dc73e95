#pragma once

#include "device/Records.h"

#include <QString>
#include <QtGlobal>

// What the emission procedure needs of the polling thread. The program passes the
// thread (EmissionProcedureThreadLink); tests feed it without an instrument.
class EmissionProcedureDevice
{
public:
    virtual ~EmissionProcedureDevice() = default;

    // Kind of the thread's last answer (a DataKindCode).
    virtual int dataKind() const = 0;
    virtual void requestOperation(ZmxCommand code, int repeat, quint16 argument) = 0;
    // Starts the thread's record series again from its first record.
    virtual void requestRecordCountReset() = 0;
    // True once after each finished zero correction.
    virtual bool takeZeroCorrectionFinished() = 0;
    // True once after each zero correction the instrument ended with an
    // error; `errorText` gets the instrument's message.
    virtual bool takeZeroCorrectionFailed(QString *errorText) = 0;
};
