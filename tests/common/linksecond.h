#pragma once
// One second of an IndicatorLink whose clock is driven by hand, against a
// simulated indicator at the far end of its port: the ticks that fall due,
// then the indicator's answer to the poll, as it would come within a real
// second. A model that is not polled (the WI2002) is never asked; with
// StreamFeed::ReadingEachSecond it sends its reading of that second before
// the ticks, the way it streams at a scale, otherwise only when the test
// says so. Header only: the programs that drive a link link the simulator.

#include <QDeadlineTimer>
#include <QTest>

#include "indicator/devicemodel.h"
#include "indicator/indicatorlink.h"
#include "indicator/linkclock.h"
#include "simulator/simulator.h"

enum class StreamFeed { None, ReadingEachSecond };

// False when the indicator's bytes did not arrive within three seconds.
inline bool linkSecond(IndicatorLink &link, IndicatorSimulator &sim, StreamFeed feed = StreamFeed::None)
{
    const auto waitFor = [](auto arrived) {
        QDeadlineTimer deadline(3000);
        while (!arrived()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(1);
        }
        return true;
    };
    const DeviceModel::Model *model = DeviceModel::traits(link.modelText());
    const bool polled = model && model->polled;
    const bool answers = !sim.isSilent() && sim.isPlugged();

    if (!polled && feed == StreamFeed::ReadingEachSecond && answers && link.isPortOpen()) {
        const qsizetype before = link.ReceiveBuffer().size();
        if (!sim.sendReading())
            return false;
        if (!waitFor([&] {
                return link.ReceiveBuffer().size() > before && link.ReceiveBuffer().endsWith(QLatin1String("\r\n"));
            }))
            return false;
    }

    const int pollsBefore = sim.received().count('s');
    const int framesBefore = sim.framesSent();
    link.clock()->tick();
    if (!link.isPortOpen() || !polled)
        return true;
    // The indicator takes the poll and answers; the link reads the answer.
    return waitFor([&] {
        return sim.received().count('s') != pollsBefore
               && (!answers
                   || (sim.framesSent() != framesBefore && link.ReceiveBuffer().endsWith(QLatin1String("\r\n"))));
    });
}

// Puts the weight on the scale and lets seconds pass until the link reads it
// as stable; false when it never does within 30 seconds.
inline bool settleLink(IndicatorLink &link, IndicatorSimulator &sim, double weight,
                       StreamFeed feed = StreamFeed::None)
{
    sim.setWeight(weight);
    for (int i = 0; i < 30; ++i) {
        if (!linkSecond(link, sim, feed))
            return false;
        if (link.CurrentReading() == weight && link.StableFlag())
            return true;
    }
    return false;
}
