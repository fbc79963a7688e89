// The multimeter panel library and its binding: the library exports exactly its
// five entry points, the record keeps its 136-byte layout on both sides, and the
// oscilloscope's loader drives the real library.
#include "exported_names.h"
#include "measure.h"
#include "meterpanel.h"
#include "pimbra.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>

namespace {

QWidget *PanelWindow() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->windowTitle() == QLatin1String("Multimeter")) return w;
  return nullptr;
}

QString LabelText(QWidget *panel, const char *name) {
  auto *label = panel->findChild<QLabel *>(QLatin1String(name));
  return label ? label->text() : QStringLiteral("<none>");
}

TEST(MeterPanel, LibraryExportsExactlyTheFiveEntryPoints) {
  const std::set<std::string> expected = {"_Create", "_Visible", "_IsVisible", "_Update",
                                          "_Destroy"};
  EXPECT_EQ(ExportedNames(VELK_TEST_PIMBRA), expected);
}

TEST(MeterPanel, RecordLayoutIsTheSameOnBothSides) {
  static_assert(sizeof(TPimbraRecord) == 136 && sizeof(TMultimeterRecord) == 136);
  EXPECT_EQ(offsetof(TPimbraRecord, TextsB), offsetof(TMultimeterRecord, TextsB));
  EXPECT_EQ(offsetof(TPimbraRecord, MeanA), offsetof(TMultimeterRecord, MeanA));
  EXPECT_EQ(offsetof(TPimbraRecord, RmsA), offsetof(TMultimeterRecord, RmsA));
  EXPECT_EQ(offsetof(TPimbraRecord, MeanB), offsetof(TMultimeterRecord, MeanB));
  EXPECT_EQ(offsetof(TPimbraRecord, RmsB), offsetof(TMultimeterRecord, RmsB));
  EXPECT_EQ(offsetof(TPimbraRecord, ColorB), offsetof(TMultimeterRecord, ColorB));
  EXPECT_EQ(offsetof(TPimbraRecord, OverrangeB), offsetof(TMultimeterRecord, OverrangeB));
  EXPECT_EQ(offsetof(TPimbraRecord, HalfRange), offsetof(TMultimeterRecord, HalfRange));
  EXPECT_EQ(offsetof(TPimbraRecord, ChannelB), offsetof(TMultimeterRecord, ChannelB));
}

TEST(MeterPanel, MissingLibraryIsAMessage) {
  TMeterPanel panel;
  QString error;
  EXPECT_FALSE(panel.Bind(QDir::tempPath() + "/velk-no-such-folder/", error));
  EXPECT_EQ(error, "Missing library 'libpimbra.so'.\nUpdate or reinstall the software.");
  EXPECT_FALSE(panel.IsBound());
  // The window's calls are harmless without the library.
  panel.Create(true);
  panel.Visible(true);
  EXPECT_FALSE(panel.IsVisible());
  panel.Release();
}

TEST(MeterPanel, LoaderDrivesTheRealLibrary) {
  TMeterPanel panel;
  QString error;
  ASSERT_TRUE(panel.Bind(VELK_TEST_BIN_DIR "/", error)) << error.toStdString();
  panel.Create(false);
  EXPECT_FALSE(panel.IsVisible()) << "created hidden";

  TMultimeterRecord r = {};
  std::strcpy(r.TextsA[0], "1.000kHz");
  std::strcpy(r.TextsA[2], "\xB5"
                           "V avg");
  std::strcpy(r.TextsB[0], "50.00Hz");
  std::memset(r.TextsA[4], 'x', 10); // no terminator: the field ends it
  r.ColorA = 0x0000FF;
  r.ColorB = 0xFF0000;
  r.MeanA = 40;
  r.RmsA = 70;
  r.HalfRange = 128;
  r.OverrangeA = 1;
  r.OverrangeB = 1;
  panel.Update(r);
  panel.Visible(true);
  EXPECT_TRUE(panel.IsVisible());

  QWidget *window = PanelWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(window->windowType(), Qt::Tool);
  EXPECT_EQ(LabelText(window, "valueA0"), "1.000kHz");
  EXPECT_EQ(LabelText(window, "valueA2"), QString::fromUtf8("µV avg"));
  EXPECT_EQ(LabelText(window, "valueA4"), "xxxxxxxxxx");
  EXPECT_EQ(LabelText(window, "valueB0"), "-") << "channel B was not usable at creation";
  EXPECT_TRUE(window->findChild<QLabel *>("overrangeA")->isVisibleTo(window));
  EXPECT_FALSE(window->findChild<QLabel *>("overrangeB")->isVisibleTo(window));
  if (const char *dir = std::getenv("VELK_TEST_IMAGES"))
    window->grab().save(QString::fromLocal8Bit(dir) + "/multimeter.png");

  panel.Visible(false);
  EXPECT_FALSE(panel.IsVisible());
  panel.Release();
  EXPECT_EQ(PanelWindow(), nullptr) << "destroyed at release";
  EXPECT_FALSE(panel.IsBound());

  // Bound again after the unload, the panel starts afresh.
  ASSERT_TRUE(panel.Bind(VELK_TEST_BIN_DIR "/", error));
  panel.Create(true);
  panel.Update(r);
  ASSERT_NE(PanelWindow(), nullptr);
  EXPECT_EQ(LabelText(PanelWindow(), "valueB0"), "50.00Hz");
}

} // namespace
