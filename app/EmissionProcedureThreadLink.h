#pragma once

#include "app/EmissionProcedureDevice.h"

#include <functional>

class TOpros_ZMX;

// The emission test's view of the polling thread.
class EmissionProcedureThreadLink : public EmissionProcedureDevice
{
public:
    // How the test's requests reach the thread: in the program through the
    // service panel's RequestOperation, the thread's own call when not given.
    using RequestCall = std::function<void(ZmxCommand code, int repeat, quint16 argument)>;

    explicit EmissionProcedureThreadLink(TOpros_ZMX &thread, RequestCall request = {})
        : m_thread(thread)
        , m_request(std::move(request))
    { }

    int dataKind() const override;
    void requestOperation(ZmxCommand code, int repeat, quint16 argument) override;
    void requestRecordCountReset() override;
    bool takeZeroCorrectionFinished() override;
    bool takeZeroCorrectionFailed(QString *errorText) override;

private:
    TOpros_ZMX &m_thread;
    RequestCall m_request;
};
