// The configuration dialog: the buffer lengths the track bar offers, what OK does
// with a new length, trigger notification bits, the colour tree and its copy.
#include "bitmapbutton.h"
#include "dialoghooks.h"
#include "formconfig.h"
#include "helpers.h"
#include "labelex.h"
#include "panelex.h"
#include "tabcontrolex.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A two-channel scope with 131072 samples and a few colours of its own.
class ConfigTest : public ::testing::Test {
protected:
  void SetUp() override {
    r.DeviceFeatures = 0x01;
    r.HasChannelB = true;
    r.BufferCapacity = 131072;
    r.BuffLength = 4096;
    r.TriggerAt = 2048;
    r.SamplesA.assign(r.BufferCapacity, 5.0f);
    r.SamplesB.assign(r.BufferCapacity, -3.0f);
    r.Colors.AnalogChA = 0x00FFFF;
    r.Colors.AnalogBack = 0x000000;
  }
  void TearDown() override { DialogHooks() = {}; }

  std::unique_ptr<TfrmConfig> Open() {
    auto d = std::make_unique<TfrmConfig>(r);
    d->show();
    return d;
  }
  QTreeWidgetItem *Find(TfrmConfig &d, const QString &group, const QString &text) {
    for (int g = 0; g < d.tvColors->topLevelItemCount(); ++g) {
      QTreeWidgetItem *top = d.tvColors->topLevelItem(g);
      if (top->text(0) != group) continue;
      for (int i = 0; i < top->childCount(); ++i)
        if (top->child(i)->text(0) == text) return top->child(i);
    }
    return nullptr;
  }

  TVELK r;
};

} // namespace

TEST(ConfigLengths, TopPositionIsTheLargestLengthTheMemoryHolds) {
  struct Case {
    uint32_t capacity;
    int top;
  } cases[] = {{0, 0},      {255, 0},    {256, 0},     {511, 0},    {512, 1},
               {131072, 9}, {200000, 9}, {524288, 11}, {524287, 10}};
  for (const Case &c : cases) {
    EXPECT_EQ(TfrmConfig::MaxLengthIndex(c.capacity), c.top) << c.capacity;
    EXPECT_LE(256u << c.top, std::max<uint32_t>(c.capacity, 256u)) << c.capacity;
  }
  struct Pos {
    uint32_t length, capacity;
    int pos;
  } positions[] = {{256, 131072, 0}, {4096, 131072, 4},   {3000, 131072, 3},
                   {100, 131072, 0}, {131072, 131072, 9}, {524288, 131072, 9}};
  for (const Pos &p : positions)
    EXPECT_EQ(TfrmConfig::LengthIndex(p.length, p.capacity), p.pos) << p.length;
}

TEST_F(ConfigTest, TenLengthsFor131072Samples) {
  auto d = Open();
  EXPECT_EQ(d->tbBufferSize->minimum(), 0);
  EXPECT_EQ(d->tbBufferSize->maximum(), 9);
  EXPECT_EQ(d->tbBufferSize->value(), 4);
  EXPECT_EQ(d->lBufferSize->Text(), QStringLiteral("4096 samples"));
  d->tbBufferSize->setValue(9);
  EXPECT_EQ(d->ChosenLength(), 131072u);
  EXPECT_EQ(d->lBufferSize->Text(), QStringLiteral("131072 samples"));
  d->tbBufferSize->setValue(0);
  EXPECT_EQ(d->ChosenLength(), 256u);
}

TEST_F(ConfigTest, ACapacityBetweenPowersNeverOffersMoreThanItHolds) {
  r.BufferCapacity = 200000;
  auto d = Open();
  d->tbBufferSize->setValue(d->tbBufferSize->maximum());
  EXPECT_EQ(d->ChosenLength(), 131072u);
  EXPECT_LE(d->ChosenLength(), r.BufferCapacity);
}

TEST_F(ConfigTest, ChangingTheLengthClearsTheSamplesAndCentresTheTrigger) {
  auto d = Open();
  QSignalSpy lengthChanged(d.get(), &TfrmConfig::bufferLengthChanged);
  QSignalSpy colorsChanged(d.get(), &TfrmConfig::colorsChanged);
  d->tbBufferSize->setValue(2);
  QTest::mouseClick(d->bOK, Qt::LeftButton, {}, {5, 5});
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_EQ(r.BuffLength, 1024u);
  EXPECT_EQ(r.TriggerAt, 512u);
  EXPECT_EQ(std::count(r.SamplesA.begin(), r.SamplesA.end(), 0.0f), 131072);
  EXPECT_EQ(std::count(r.SamplesB.begin(), r.SamplesB.end(), 0.0f), 131072);
  EXPECT_EQ(lengthChanged.count(), 1);
  EXPECT_EQ(colorsChanged.count(), 0);
}

TEST_F(ConfigTest, ALengthFromAFileIsKeptUntilTheBarMoves) {
  r.BuffLength = 3000;
  r.TriggerAt = 100;
  auto d = Open();
  EXPECT_EQ(d->tbBufferSize->value(), 3);
  EXPECT_EQ(d->lBufferSize->Text(), QStringLiteral("3000 samples"));
  QSignalSpy lengthChanged(d.get(), &TfrmConfig::bufferLengthChanged);
  d->accept();
  EXPECT_EQ(r.BuffLength, 3000u);
  EXPECT_EQ(r.TriggerAt, 100u);
  EXPECT_EQ(r.SamplesA[0], 5.0f) << "nothing cleared";
  EXPECT_EQ(lengthChanged.count(), 0);

  d->show();
  d->tbBufferSize->setValue(4);
  d->tbBufferSize->setValue(3);
  d->accept();
  EXPECT_EQ(r.BuffLength, 2048u);
}

TEST_F(ConfigTest, NoLengthChangeWhileACaptureRuns) {
  int warned = 0;
  DialogHooks().Message = [&](int, const QString &, const QString &caption) {
    EXPECT_EQ(caption, QStringLiteral("Warning"));
    ++warned;
    return 0;
  };
  auto d = Open();
  d->tbBufferSize->setValue(2);
  r.Capturing = 1;
  d->accept();
  EXPECT_EQ(warned, 1);
  EXPECT_TRUE(d->isVisible()) << "the dialog stays open";
  EXPECT_EQ(r.BuffLength, 4096u);
  EXPECT_EQ(r.SamplesA[0], 5.0f);
}

TEST_F(ConfigTest, TriggerNotificationBits) {
  struct Case {
    uint8_t stored;
    bool untick;
    uint8_t after;
  } cases[] = {{3, false, 3}, {1, false, 1}, {3, true, 2}, {1, true, 0}, {0, false, 0}};
  for (const Case &c : cases) {
    r.TriggerBeep = c.stored;
    auto d = Open();
    EXPECT_EQ(d->cbTriggerBeep->isChecked(), (c.stored & 1) != 0);
    EXPECT_EQ(d->rbBeepSystemDefault->isChecked(), (c.stored & 2) != 0);
    EXPECT_EQ(d->rbBeepSpeaker->isChecked(), (c.stored & 2) == 0);
    if (c.untick) {
      d->cbTriggerBeep->setChecked(false);
      EXPECT_FALSE(d->rbBeepSystemDefault->isEnabled());
      EXPECT_FALSE(d->rbBeepSpeaker->isEnabled());
    }
    d->accept();
    EXPECT_EQ(r.TriggerBeep, c.after) << int(c.stored);
  }
}

TEST_F(ConfigTest, PriorityAndProbeCompensation) {
  r.ThreadPriority = 5;
  r.ProbeComp = 0;
  auto d = Open();
  EXPECT_EQ(d->cbPriority->currentText(), QStringLiteral("Highest"));
  EXPECT_EQ(d->cbPriority->count(), 7);
  EXPECT_EQ(d->cbPriority->itemText(3), QStringLiteral("Normal (recomended)"));
  d->cbPriority->setCurrentIndex(3);
  d->cbProbeComp->setChecked(true);
  d->accept();
  EXPECT_EQ(r.ThreadPriority, 3);
  EXPECT_EQ(r.ProbeComp.load(), 1);
}

TEST_F(ConfigTest, TabsAndTheProbeTabWithoutChannelB) {
  auto d = Open();
  EXPECT_EQ(d->tceTabs->Tabs(), QStringList({"General", "Probe", "Colors"}));
  QTest::mouseClick(d->tceTabs, Qt::LeftButton, {}, {d->tceTabs->TabLeft(2) + 4, 6});
  EXPECT_EQ(d->Pages->currentIndex(), 2);
  d->hide();
  d->show();
  EXPECT_EQ(d->Pages->currentIndex(), 0) << "opens on General";

  r.HasChannelB = false;
  d->Prepare();
  EXPECT_EQ(d->tceTabs->Tabs()[1], QStringLiteral("-"));
  QTest::mouseClick(d->tceTabs, Qt::LeftButton, {}, {d->tceTabs->TabLeft(1) + 4, 6});
  EXPECT_EQ(d->Pages->currentIndex(), 0);
}

TEST_F(ConfigTest, ColourTreeFollowsTheInstrument) {
  struct Case {
    uint32_t features;
    bool channelB;
    int channels;
    QStringList groups;
    QList<int> counts;
  } cases[] = {
      {0x01, true, 0, {"Analog Channels", "Analog Display"}, {5, 13}},
      {0x01, false, 0, {"Analog Channels", "Analog Display"}, {2, 11}},
      {0x02, false, 32, {"Digital Channels", "Digital Display"}, {32, 16}},
      {0x03,
       true,
       16,
       {"Digital Channels", "Analog Channels", "Digital Display", "Analog Display"},
       {16, 5, 16, 13}},
  };
  for (const Case &c : cases) {
    r.DeviceFeatures = c.features;
    r.HasChannelB = c.channelB;
    r.DigitalChannelCount = c.channels;
    std::strcpy(r.ChName[1], "CLK");
    r.Interpreters[0] = std::make_unique<TIntpDef>();
    std::strcpy(r.Interpreters[0]->Name, "UART");
    TfrmConfig d(r);
    ASSERT_EQ(d.tvColors->topLevelItemCount(), c.groups.size()) << c.features;
    for (int g = 0; g < c.groups.size(); ++g) {
      EXPECT_EQ(d.tvColors->topLevelItem(g)->text(0), c.groups[g]);
      EXPECT_EQ(d.tvColors->topLevelItem(g)->childCount(), c.counts[g]) << c.groups[g];
    }
    if (c.features & 0x02) {
      EXPECT_NE(Find(d, "Digital Channels", "CLK"), nullptr);
      EXPECT_NE(Find(d, "Digital Display", "UART"), nullptr);
    }
  }
}

TEST_F(ConfigTest, ColoursChangeOnTheCopyAndOnlyOkWritesThemBack) {
  int asked = 0;
  DialogHooks().Color = [&](QColor &c) {
    ++asked;
    EXPECT_EQ(c, QColor(255, 255, 0)) << "the dialog opens on the item's colour";
    c = QColor(255, 0, 0);
    return true;
  };
  for (bool ok : {false, true}) {
    auto d = Open();
    QSignalSpy colorsChanged(d.get(), &TfrmConfig::colorsChanged);
    EXPECT_FALSE(d->pColor->isEnabled()) << "nothing selected";
    d->tvColors->setCurrentItem(d->tvColors->topLevelItem(0));
    EXPECT_FALSE(d->pColor->isEnabled()) << "group titles are not colours";
    QTreeWidgetItem *chA = Find(*d, "Analog Channels", "Channel A");
    ASSERT_NE(chA, nullptr);
    d->tvColors->setCurrentItem(chA);
    EXPECT_TRUE(d->pColor->isEnabled());
    EXPECT_EQ(d->pColor->FaceColor(), 0x00FFFFu);
    QTest::mouseClick(d->pColor, Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(d->pColor->FaceColor(), 0x0000FFu);
    EXPECT_EQ(d->ColorsCopy().AnalogChA, 0x0000FFu);
    EXPECT_EQ(r.Colors.AnalogChA, 0x00FFFFu) << "the record waits for OK";
    if (ok) {
      d->accept();
      EXPECT_EQ(r.Colors.AnalogChA, 0x0000FFu);
      EXPECT_EQ(colorsChanged.count(), 1);
    } else {
      QTest::keyClick(d.get(), Qt::Key_Escape);
      EXPECT_EQ(r.Colors.AnalogChA, 0x00FFFFu);
      EXPECT_EQ(r.Colors.AnalogBack, 0x000000u);
      EXPECT_EQ(colorsChanged.count(), 0);
    }
  }
  EXPECT_EQ(asked, 2);
}

TEST_F(ConfigTest, EnterActsAsOkAndEscAsCancel) {
  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
    r.ProbeComp = 0;
    auto d = Open();
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
    d->cbProbeComp->setChecked(true);
    d->cbPriority->setFocus();
    QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(r.ProbeComp.load(), key == Qt::Key_Return ? 1 : 0) << key;
  }
}
