// velkcli with real-instrument problems: the libftdi1 adapter over the
// stand-in USB layer, whose devices the program gets from USBSTANDIN_DEVICES.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct TResult {
  int exitCode;
  QString out, err;
};

TResult RunWithDevices(const QString &devices, const QStringList &args) {
  QTemporaryDir home;
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_DATA_HOME", home.filePath("data"));
  env.insert("XDG_RUNTIME_DIR", home.path());
  env.insert("VELK_INSTALL_RECORD_DIR", home.filePath("etc"));
  env.remove("VELK_EMULATE");
  env.remove("VELK_FTDI_INTERFACE");
  env.insert("VELK_D2XX_LIBRARY", VELK_TEST_FTDI_STANDIN);
  env.insert("USBSTANDIN_DEVICES", devices);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(VELK_TEST_CLI), args);
  if (!p.waitForFinished(30000)) return {-1, {}, "timed out"};
  return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
          QString::fromLocal8Bit(p.readAllStandardError())};
}

TEST(CliUsb, VerboseListingSaysWhyEachFtdiDeviceIsOfferedOrNot) {
  TResult r =
      RunWithDevices("Brisk,6001,ok,VE000001;Dorian,8e40,denied;Serial Cable,6015,ok;,6010,denied",
                     {"list", "--verbose"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.out.toStdString(),
            "0\t2\tBrisk\n"
            "1\t4\tDorian\n"
            "usb 001/002 0403:6001 \"Brisk\" serial \"VE000001\": offered as model 2\n"
            "usb 001/003 0403:8e40 \"Dorian\": offered as model 4; no access to "
            "/dev/bus/usb/001/003: install the udev rule ftdi/60-velk.rules\n"
            "usb 001/004 0403:6015 \"Serial Cable\": not offered: no matching description\n"
            "usb 001/005 0403:6010 \"\": not offered: no description; no access to "
            "/dev/bus/usb/001/005: install the udev rule ftdi/60-velk.rules\n");

  r = RunWithDevices("", {"list", "--verbose"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.toStdString(), "usb: no FTDI device seen\n");
}

// Without the udev rule the instrument is still found: start-up fails at the
// open with the channel error and the adapter's line on what to do, instead of
// offering demo mode as if nothing were attached.
TEST(CliUsb, AnInstrumentWithoutPermissionFailsAtTheOpenWithTheRemedy) {
  TResult r = RunWithDevices("Dorian,6001,denied", {"info"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("Could not open USB channel.")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("no permission on /dev/bus/usb/001/002")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("60-velk.rules"));
  EXPECT_FALSE(r.err.contains("Hardware not found"));
}

} // namespace
