#pragma once
// The program's own judgement whether the weight stands still: two snapshots
// of the reading, one renewed every 6 s and one every 2 s, and the reading
// counts as stable only while both snapshots and the reading itself are
// exactly equal. All three are readings rounded to three decimals, so equal
// weights compare equal and 0.001 apart is unstable. Two snapshots alone are
// not enough: both are taken at the same moment every 6 s, and a reading
// that moved since the snapshots (a ramp, a jump, a weight coming back after
// silence) must not pass as still.
// The snapshots are never reset, not by switching the link off and on either.

class StabilityJudge
{
public:
    void takeSlowSample(double reading);  // the 6-second snapshot
    void takeFastSample(double reading);  // the 2-second snapshot
    // True: the reading agrees with both snapshots, so "Стабильность" may show.
    bool agrees(double reading) const;

    double SlowSample() const { return m_slow; }
    double FastSample() const { return m_fast; }

private:
    double m_slow = 0;
    double m_fast = 0;
};
