// The auto-scroll speed dialog: the timer interval itself, 2 to 200 ms.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include <string>

class QLabel;
class QSlider;

// What an interval means: "20 ms per pixel" and "50 pixels per second".
std::string IntervalText(int ms);
std::string SpeedText(int ms);

class ScrollSpeedDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(ScrollSpeedDialog)

  public:
    ScrollSpeedDialog();
    int32_t ChosenInterval = 20;
    QSlider* speedSlider = nullptr;
    QLabel* Interval = nullptr;
    QLabel* Speed = nullptr;
    void Accept();

  protected:
    void showEvent(QShowEvent* e) override;
};
