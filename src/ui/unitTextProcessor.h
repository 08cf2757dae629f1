// The small window that names the conversion stage under way, with a looping
// animation and a progress bar. The user cannot close it.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include "core/unitTextConversions.h"

class QLabel;
class QProgressBar;
class QTimer;

class TfrmTextProcessor : public QDialog, public TConversionProgress {
    Q_DECLARE_TR_FUNCTIONS(TfrmTextProcessor)

  public:
    TfrmTextProcessor();
    QLabel* Msg = nullptr;
    QWidget* AniPic = nullptr;
    QProgressBar* Bar = nullptr;

    // Shows the window (not modal) for a conversion, and hides it afterwards.
    void Begin();
    void End();
    void StageStarted(const std::string& message) override;
    void StageProgress(double fraction) override;

  protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    QTimer* anim_ = nullptr;
    int lastPercent_ = -1;
};

extern TfrmTextProcessor* frmTextProcessor;
