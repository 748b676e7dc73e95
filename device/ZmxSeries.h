#pragma once

#include "device/Records.h"

#include <vector>

// The four record series of the polling thread, allocated once so that storing
// a record never allocates. All four are indexed by the thread's one shared
// RecordCount: an index holds an entry in the series of the answer that
// arrived under it, the others keep what they held there. Not locked itself:
// the thread guards it with its own lock.
class ZmxSeries
{
public:
    explicit ZmxSeries(int capacity);

    int capacity() const { return m_capacity; }

    void storeWarmUp(int index, const WarmUpRecord &record) { m_warmUp[index] = record; }
    void storeResult(int index, const ResultRecord &record) { m_result[index] = record; }
    void storeTermRatio(int index, const TermRatioRecord &record) { m_termRatio[index] = record; }
    void storeDrift(int index, const DriftInfoRecord &record) { m_drift[index] = record; }

    const WarmUpRecord &warmUp(int index) const { return m_warmUp[index]; }
    const ResultRecord &result(int index) const { return m_result[index]; }
    const TermRatioRecord &termRatio(int index) const { return m_termRatio[index]; }
    const DriftInfoRecord &drift(int index) const { return m_drift[index]; }

private:
    int m_capacity;
    std::vector<WarmUpRecord> m_warmUp;
    std::vector<ResultRecord> m_result;
    std::vector<TermRatioRecord> m_termRatio;
    std::vector<DriftInfoRecord> m_drift;
};
