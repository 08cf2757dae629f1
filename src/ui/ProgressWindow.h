// The small window that names the conversion stage under way, with a looping
// animation and a progress bar. The user cannot close it.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include "convert/TextAnalysis.h"

class QLabel;
class QProgressBar;
class QTimer;

class ProgressWindow : public QDialog, public ConversionProgress {
    Q_DECLARE_TR_FUNCTIONS(ProgressWindow)

  public:
    ProgressWindow();
    QLabel* stageLabel = nullptr;
    QWidget* animation = nullptr;
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
