// Value formatting: every read-out of the application (cursor values,
// measurements, scales, clock rates, delays, spectrum values) turns numbers into
// text here, so that the same quantity always looks the same. Each function picks
// the unit and the number of decimals from the size of the value.
//
// Numbers are written with decimal patterns: "0" is a digit that is always
// shown, "#" a digit shown only when significant, "." the decimal separator;
// other characters are copied. The value is rounded half away from zero to the
// number of places after the point, on its 15 significant decimal digits, so that
// binary noise of the unit scaling (1.2345 stored as 1.23449999…) does not decide
// a half. A value that rounds to zero carries no sign. Digits are ASCII, there is
// no grouping and never an exponent; only the decimal separator comes from the
// locale, by default QLocale() (the user's locale).
//
// Non-finite values (NaN, ±infinity) give "nan", "inf" or "-inf" without a unit.
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

struct TVELK;

// A voltage in mV or V. With a gain index of 0 or more the value is in converter
// codes and is scaled by the half-scale millivolts of that gain over the half
// range of the converter; with a negative index it is already in millivolts.
QString FormatVoltage(const TVELK &r, int32_t gainIndex, double value,
                      const QLocale &locale = QLocale());
// A time in ns, µs (U+00B5), ms or s, or hh:mm:ss from 1000 s on.
QString FormatTime(double seconds, const QLocale &locale = QLocale());
// A frequency in uHz, mHz, Hz, kHz or MHz; negative values and those below 1 uHz
// fall into MHz.
QString FormatFrequency(double hz, const QLocale &locale = QLocale());
// A phase in degrees.
QString FormatPhase(double degrees, const QLocale &locale = QLocale());
// An attenuation, passed as a positive number, written with a leading "-" and dB.
QString FormatDecibel(double db, const QLocale &locale = QLocale());
