#include "device/ZmxSeries.h"

#include <algorithm>

ZmxSeries::ZmxSeries(int capacity)
    : m_capacity(std::max(capacity, 1))
    , m_warmUp(m_capacity)
    , m_result(m_capacity)
    , m_termRatio(m_capacity)
    , m_drift(m_capacity)
{ }
