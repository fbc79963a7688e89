// TfrmSplash: the start-up window. Its five stage lines start greyed and are
// enabled as start-up reaches them; each gets a result text. It hides itself a
// second after StartTimer.
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class TLabelEx;

class TfrmSplash : public QWidget {
  Q_OBJECT
public:
  explicit TfrmSplash(QWidget *parent = nullptr);

  void EnableLine(int line);                     // 1..5
  void SetResult(int line, const QString &text); // 1..5
  void StartTimer() { Timer.start(); }

  TLabelEx *lInit[5];
  TLabelEx *lInitRes[5];
  QLabel *imgVelk;
  QTimer Timer;

protected:
  void showEvent(QShowEvent *e) override;
  void paintEvent(QPaintEvent *e) override;
};
