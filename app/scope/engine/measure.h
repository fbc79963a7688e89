// Statistics of the analog channels and the oscilloscope's readout texts:
// measurements, cursor distances, cursor positions and the record handed to the
// multimeter panel. Everything here is computed from the acquisition record and a
// few display values; the window decides when to call it and where to show it.
//
// Channel letters are 'A' and 'B'; cursor letters 'X', 'Y', 'Z' and 'T' (the
// trigger); measurement types 'F' frequency, 'P' period, 'A' average, 'R' RMS and
// 'K' peak-to-peak; distance modes 't' time, 's' samples, 'f' frequency, 'V'
// voltage. Any other letter gives an empty text.
#pragma once

#include "pimbra.h"
#include "record.h"

#include <QLocale>
#include <QString>

#include <cstddef>
#include <cstdint>

// Mean, RMS, minimum, maximum and frequency of both channels into StatsA and
// StatsB, and the over-range flags. The half range and the clock frequency come
// from the bound library (none bound: no over-range test, frequency 0).
void ComputeAnalogStats(TVELK &r);
// The same with the half range of the converter and the sample rate given.
void ComputeAnalogStats(TVELK &r, double halfRange, double sampleRate);

// The same for the first buffLength samples of one buffer, with the probe's
// divider given (autoset measures its own buffers).
void ComputeChannelStats(const std::vector<float> &samples, uint32_t buffLength, double halfRange,
                         double sampleRate, double divider, TVELK::TStats &stats, bool &overrange);

// Frequency of a periodic signal from its last two edges, in Hz (0 = unknown).
// mean, min and max are the signal's own statistics in codes.
double EstimateFrequency(const float *samples, uint32_t count, double mean, double min, double max,
                         double sampleRate);

// The clock's sample rate in Hz (0 when no library is bound).
double ScopeSampleRate(const TVELK &r);

// Measurement of a whole channel from the statistics: "Freq", "Period", "AVG",
// "RMS", "Pk-Pk" as short names, "Frequency" … "Peak-Peak value" as long names.
QString MeasurementText(const TVELK &r, char channel, char type, const QLocale &locale = QLocale());
const char *MeasurementShortName(char type);
const char *MeasurementLongName(char type);
// "Frequency (channel A)"
QString MeasurementHint(char channel, char type);

// What the readouts need of the display control: the cursors' sample positions
// and levels (codes, the channel position included), the trigger marker and the
// channels' vertical positions.
struct TScopeMarkers {
  int64_t PosX = 0, PosY = 0, PosZ = 0;
  double LevelX = 0, LevelY = 0, LevelZ = 0;
  int64_t TriggerPos = 0;
  double TriggerLevel = 0; // codes of the trigger channel, no position
  double PositionA = 0, PositionB = 0;
};

// Distance between two cursors in the given mode; in voltage mode on the given
// channel. A voltage distance on a channel other than A or B is empty.
QString DistanceText(const TVELK &r, const TScopeMarkers &m, char cursor1, char cursor2,
                     char channel, char mode, const QLocale &locale = QLocale());
// "Time distance (XY)", "Voltage (XY, channel A)" …
QString DistanceHint(char cursor1, char cursor2, char channel, char mode);
// Position of one cursor in samples ('s') or as a time from the trigger ('t').
QString CursorPositionText(const TVELK &r, const TScopeMarkers &m, char cursor, char unit,
                           const QLocale &locale = QLocale());

// The record the multimeter panel receives by value, 136 bytes, little-endian.
// The record handed to the multimeter panel library, defined once by that
// library's interface (multimeter/pimbra.h) so both sides share its layout.
using TMultimeterRecord = TPimbraRecord;

// The panel's record from the current statistics. halfRange and channelB are the
// values the window noted when it bound the panel. Texts longer than 9
// characters are cut; µ is written as the 8-bit character 0xB5.
TMultimeterRecord MultimeterRecord(const TVELK &r, int32_t halfRange, bool channelB,
                                   const QLocale &locale = QLocale());
