// Value formatting: units, decimals and range boundaries of every read-out.
#include "format.h"
#include "record.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <limits>
#include <string>

namespace {

// Half-scale millivolts of gains 0..7 and the half range of an 8-bit converter.
int32_t FakeGainItems(int32_t selector) {
  static constexpr int32_t kHalfScale[] = {25000, 10000, 5000, 2500, 1000, 500, 250, 100};
  const int32_t i = selector - 0x200;
  return i >= 0 && i < 8 ? kHalfScale[i] : 0;
}
int32_t FakeConfigItems(int32_t selector) {
  return selector == 0x200 ? 128 : 0;
}

const QLocale kC = QLocale::c();

struct TCase {
  double Value;
  const char *Expected; // UTF-8
};

std::string Str(const QString &s) {
  return s.toStdString();
}

TEST(Format, VoltageInMillivolts) {
  const TCase cases[] = {
      {0, "0V"},
      {-0.0, "0V"},
      {0.0004, "0mV"},
      {-0.0004, "0mV"}, // rounds to zero: no sign
      {0.12345, "0.123mV"},
      {0.5, "0.5mV"},
      {1, "1mV"},
      {1.005, "1.01mV"}, // a half rounds up although 1.005 is stored below it
      {2.999, "3mV"},
      {-7.8125, "-7.81mV"},
      {10, "10mV"},
      {55.55, "55.6mV"},
      {100, "100mV"},
      {100.4, "100mV"},
      {-500.5, "-501mV"},
      {999.96, "1000mV"}, // the range follows the unrounded value
      {1000, "1V"},
      {-1000, "-1V"},
      {1000.4, "1V"},
      {2500, "2.5V"},
      {1234.5, "1.235V"},
      {10000, "10V"},
      {12345, "12.35V"},
      {99999, "100V"},
      {100000, "100V"},
      {123456, "123.5V"},
      {1000000, "1000V"},
      {1000001, "1000V"},
      {-1.5e6, "-1500V"},
      {2.5e9, "2500000V"},
      {1e21, "1000000000000000000V"}, // never an exponent
  };
  TVELK r; // no library: a negative index does not ask for one
  for (const TCase &c : cases)
    EXPECT_EQ(Str(FormatVoltage(r, -1, c.Value, kC)), c.Expected)
        << std::setprecision(17) << c.Value;
}

TEST(Format, VoltageOfConverterCodes) {
  struct {
    int32_t Gain;
    double Codes;
    const char *Expected;
  } const cases[] = {
      {0, 64, "12.5V"},    // 25000 mV half scale
      {0, -128, "-25V"},   //
      {3, 51.2, "1V"},     // exactly 1000 mV
      {4, 1, "7.81mV"},    // one code of 1000 mV / 128
      {7, 128, "100mV"},   //
      {7, -1, "-0.781mV"}, // -0.78125 mV
      {7, 0.0004, "0mV"},  //
      {7, -0.0, "0V"},     //
      {-1, 128, "128mV"},  // a negative index takes the value as millivolts
  };
  TVELK r;
  r.Lib.GetGainItems = FakeGainItems;
  r.Lib.GetConfigItems = FakeConfigItems;
  for (const auto &c : cases)
    EXPECT_EQ(Str(FormatVoltage(r, c.Gain, c.Codes, kC)), c.Expected)
        << "gain " << c.Gain << ", " << c.Codes;
}

TEST(Format, VoltageWithoutScaleTakesMillivolts) {
  TVELK r;
  EXPECT_EQ(Str(FormatVoltage(r, 2, 2500, kC)), "2.5V"); // no library bound
  r.Lib.GetGainItems = FakeGainItems;
  r.Lib.GetConfigItems = [](int32_t) { return 0; }; // zero half range
  EXPECT_EQ(Str(FormatVoltage(r, 2, 2500, kC)), "2.5V");
}

TEST(Format, Time) {
  const TCase cases[] = {
      {0, "0s"},
      {-0.0, "0s"},
      {-1e-15, "0ns"},
      {1e-9, "1ns"},
      {1.23456e-9, "1.2346ns"},
      {1e-8, "10ns"},
      {1.23456e-8, "12.346ns"},
      {1e-7, "100ns"},
      {1.23456e-7, "123.46ns"},
      {1e-6, "1\u00B5s"},
      {-0.000002, "-2\u00B5s"},
      {1.23456e-6, "1.2346\u00B5s"},
      {1e-5, "10\u00B5s"},
      {1.23456e-5, "12.346\u00B5s"},
      {1e-4, "100\u00B5s"},
      {1.23456e-4, "123.46\u00B5s"},
      {0.001, "1ms"},
      {0.0025, "2.5ms"},
      {0.00123456, "1.2346ms"},
      {0.01, "10ms"},
      {0.0123456, "12.346ms"},
      {0.1, "100ms"},
      {0.123456, "123.46ms"},
      {0.999999, "1000ms"},
      {1, "1s"},
      {1.23456, "1.235s"},
      {2.9999, "3s"},
      {10, "10s"},
      {12.3456, "12.35s"},
      {100, "100s"},
      {123.456, "123.5s"},
      {999.99, "1000s"},
      {1000, "00:16:40"},
      {3725, "01:02:05"},
      {3725.9, "01:02:05"}, // seconds are truncated
      {-3725, "-01:02:05"},
      {86399.999, "23:59:59"},
      {1e7, "2777:46:40"},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(Str(FormatTime(c.Value, kC)), c.Expected) << std::setprecision(17) << c.Value;
}

TEST(Format, MicroIsOneLatin1Character) {
  EXPECT_EQ(FormatTime(-0.000002, kC).toLatin1(), QByteArray("-2\xB5s"));
}

TEST(Format, Frequency) {
  const TCase cases[] = {
      {0, "0Hz"},
      {-0.0, "0Hz"},
      {1e-6, "1uHz"},
      {1.23456e-6, "1.235uHz"},
      {1e-5, "10uHz"},
      {1.23456e-5, "12.35uHz"},
      {1e-4, "100uHz"},
      {1.23456e-4, "123.5uHz"},
      {0.001, "1mHz"},
      {0.00123456, "1.235mHz"},
      {0.01, "10mHz"},
      {0.0123456, "12.35mHz"},
      {0.1, "100mHz"},
      {0.5, "500mHz"},
      {0.123456, "123.5mHz"},
      {1, "1Hz"},
      {1.23456, "1.235Hz"},
      {10, "10Hz"},
      {12.3456, "12.35Hz"},
      {100, "100Hz"},
      {123.456, "123.5Hz"},
      {999.99, "1000Hz"},
      {1000, "1kHz"},
      {1234.5, "1.235kHz"},
      {1e4, "10kHz"},
      {12345.6, "12.35kHz"},
      {1e5, "100kHz"},
      {123456, "123.5kHz"},
      {1e6, "1MHz"},
      {1234567, "1.235MHz"},
      {1e7, "10MHz"},
      {12345678, "12.35MHz"},
      {1e8, "100MHz"},
      {1.5e8, "150MHz"},
      {123456789, "123.5MHz"},
      {2e15, "2000000000MHz"},
      {5e-7, "0MHz"}, // below 1 uHz
      {-50, "0MHz"},  // negative values are not made absolute
      {-2.5e6, "-2.5MHz"},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(Str(FormatFrequency(c.Value, kC)), c.Expected) << std::setprecision(17) << c.Value;
}

TEST(Format, Phase) {
  const TCase cases[] = {
      {0, "0deg"},       {-0.0001, "0deg"},       {1.23456, "1.235deg"},
      {9.9999, "10deg"}, {-45.25, "-45.25deg"},   {12.3456, "12.35deg"},
      {100, "100deg"},   {-123.456, "-123.5deg"}, {359.96, "360deg"},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(Str(FormatPhase(c.Value, kC)), c.Expected) << std::setprecision(17) << c.Value;
}

TEST(Format, Decibel) {
  const TCase cases[] = {
      {3, "-3dB"},     {12.345, "-12.35dB"}, {120, "-120dB"},   {0, "-0dB"},
      {0.001, "-0dB"}, {-0.001, "-0dB"},     {-6.5, "--6.5dB"},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(Str(FormatDecibel(c.Value, kC)), c.Expected) << std::setprecision(17) << c.Value;
}

TEST(Format, NonFiniteValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  TVELK r;
  EXPECT_EQ(Str(FormatVoltage(r, -1, nan, kC)), "nan");
  EXPECT_EQ(Str(FormatTime(inf, kC)), "inf");
  EXPECT_EQ(Str(FormatTime(-inf, kC)), "-inf");
  EXPECT_EQ(Str(FormatFrequency(inf, kC)), "inf");
  EXPECT_EQ(Str(FormatPhase(nan, kC)), "nan");
  EXPECT_EQ(Str(FormatDecibel(inf, kC)), "inf");
}

TEST(Format, DecimalSeparatorOfTheLocale) {
  const QLocale german(QLocale::German, QLocale::Germany);
  TVELK r;
  EXPECT_EQ(Str(FormatTime(0.0025, german)), "2,5ms");
  EXPECT_EQ(Str(FormatVoltage(r, -1, 1234.5, german)), "1,235V");
  EXPECT_EQ(Str(FormatVoltage(r, -1, 2.5e9, german)), "2500000V"); // no grouping
  EXPECT_EQ(Str(FormatDecibel(12.5, german)), "-12,5dB");

  // Without a locale argument the default locale applies.
  const QLocale saved;
  QLocale::setDefault(german);
  const QString time = FormatTime(0.0025);
  const QString frequency = FormatFrequency(1234.5);
  QLocale::setDefault(saved);
  EXPECT_EQ(Str(time), "2,5ms");
  EXPECT_EQ(Str(frequency), "1,235kHz");
}

} // namespace
