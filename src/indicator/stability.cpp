#include "indicator/stability.h"

void StabilityJudge::takeSlowSample(double reading) { m_slow = reading; }

void StabilityJudge::takeFastSample(double reading) { m_fast = reading; }

// Exact comparison on purpose: the readings are already rounded to thousandths.
bool StabilityJudge::agrees(double reading) const { return m_slow == m_fast && m_fast == reading; }
