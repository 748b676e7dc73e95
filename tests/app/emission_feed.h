#pragma once

// The instrument as the emission test's tests feed it, without widgets: a
// polling thread fed by hand and the snapshots it publishes.

#include "app/EmissionProcedureDevice.h"
#include "device/ZmxSnapshot.h"

#include <array>
#include <utility>
#include <vector>

namespace emission {

// The polling thread as the test sees it, fed by hand.
class FakeDevice : public EmissionProcedureDevice
{
public:
    struct Request
    {
        int code, repeat, argument;
    };

    int dataKind() const override { return kind; }
    void requestOperation(ZmxCommand code, int repeat, quint16 argument) override
    {
        requests.push_back({ code, repeat, argument });
    }
    void requestRecordCountReset() override { ++recordCountResets; }
    bool takeZeroCorrectionFinished() override { return std::exchange(zeroFinished, false); }
    bool takeZeroCorrectionFailed(QString *errorText) override
    {
        if (!std::exchange(zeroFailed, false))
            return false;
        if (errorText)
            *errorText = zeroError;
        return true;
    }

    int kind = DataKindResult;
    bool zeroFinished = false;
    bool zeroFailed = false;
    QString zeroError;
    int recordCountResets = 0;
    std::vector<Request> requests;
};

// A readings snapshot carrying one reading: CO, CH, CO2, O2, NOx, speed, lambda.
inline ZmxSnapshot readingsSnapshot(std::array<float, 7> v, int recordCount = 1, float prEkv = 1.0f)
{
    ZmxSnapshot s;
    s.DataKind = DataKindResult;
    s.RecordCount = recordCount;
    s.LastResult.gaseCO = v[0];
    s.LastResult.gaseCH = v[1];
    s.LastResult.gaseCO2 = v[2];
    s.LastResult.gaseO2 = v[3];
    s.LastResult.gaseNOx = v[4];
    s.LastResult.tax = uint16_t(v[5]);
    s.LastResult.lyambda = v[6];
    s.LastResult.pr_ekv = prEkv;
    s.HasNewestResult = true;
    s.NewestResult = s.LastResult;
    return s;
}

inline ZmxSnapshot procedureSnapshot(int command, int max, int step, int status)
{
    ZmxSnapshot s;
    s.DataKind = DataKindProgress;
    s.CommandIndex = command;
    s.ProcedureMax = max;
    s.ProcedureStep = quint16(step);
    s.ProcedureStatus = quint16(status);
    s.ProcedureActive = 1;
    return s;
}

} // namespace emission
