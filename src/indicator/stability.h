#pragma once
// The program's own judgement whether the weight stands still: two snapshots
// of the reading, one renewed every 6 s and one every 2 s, and the reading
// counts as stable while they are exactly equal. Both are readings rounded to
// three decimals, so equal weights compare equal and 0.001 apart is unstable.
// The snapshots are never reset, not by switching the link off and on either.

class StabilityJudge
{
public:
    void takeSlowSample(double reading);  // the 6-second snapshot
    void takeFastSample(double reading);  // the 2-second snapshot
    bool compare() const;                 // true: show "Стабильность"

    double SlowSample() const { return m_slow; }
    double FastSample() const { return m_fast; }

private:
    double m_slow = 0;
    double m_fast = 0;
};
