// Edge counts of one logic channel and the logic status bar's readout texts.
// Positions are sample indexes of the active capture buffer.
#pragma once

#include "record.h"

#include <QLocale>
#include <QString>

#include <cstdint>

// Number of i with from <= i < to and i + 1 < BuffLength at which the channel
// goes from 0 to 1 (type 0, rising) or from 1 to 0 (type 1, falling).
int64_t CountEdges(const TVELK &r, int64_t from, int64_t to, int channel, int type);

// After a capture: EdgesBeforeTrigger (the asynchronous count: the hardware
// count plus the edges of the first three samples from the trigger) and
// EdgesAfterTrigger (the synchronous count from the trigger to the end), both 0
// while the counter is off. The hardware count comes from the bound library.
void ComputeEdgeCounts(TVELK &r);
void ComputeEdgeCounts(TVELK &r, int64_t hardwareCount);

// The selected internal clock's rate in Hz (0 when no library is bound).
double LogicSampleRate(const TVELK &r);

// Distance between two cursor positions: 't' time, 'f' frequency, 's' samples,
// 'e' edges of the counter's channel. Without the internal clock there is no
// time base and time and frequency read as samples.
QString LogicDistanceText(const TVELK &r, int64_t pos1, int64_t pos2, char mode,
                          const QLocale &locale = QLocale());
// A cursor's position in samples ('s') or as a signed time from the trigger ('t').
QString LogicCursorText(const TVELK &r, int64_t pos, char mode, const QLocale &locale = QLocale());
// BuffLength in samples ('s') or as a time ('t').
QString BufferSizeText(const TVELK &r, char mode, const QLocale &locale = QLocale());
// The pre/post field: StopPosition with the strobe clock, else TriggerAt in
// samples ('s') or as a percentage of the buffer ('%').
QString PrePostText(const TVELK &r, char mode);

// Hints of the edge field and of a distance in edge mode (empty when none applies).
QString EdgeFieldHint(const TVELK &r);
QString LogicDistanceHint(const TVELK &r, char cursor1, char cursor2, char mode);
