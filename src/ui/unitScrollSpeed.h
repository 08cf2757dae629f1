// The auto-scroll speed dialog: the timer interval itself, 2 to 200 ms.
#pragma once

#include <QDialog>

class QSlider;

class TfrmScrollSpeed : public QDialog {
  public:
    TfrmScrollSpeed();
    int32_t ChosenInterval = 20;
    QSlider* TrackBar = nullptr;
    void OKBtnClick();

  protected:
    void showEvent(QShowEvent* e) override;
};

extern TfrmScrollSpeed* frmScrollSpeed;
