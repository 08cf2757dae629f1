// The voice dialog: the voice books are read aloud in and how fast.
#pragma once

#include <QCoreApplication>
#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QSlider;

class VoiceDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(VoiceDialog)

  public:
    VoiceDialog();
    ~VoiceDialog() override;

    // Shows the voices given (the book's language's) with the chosen one, and the
    // rate; on OK Voice and Rate hold the choice.
    int ExecFor(const QStringList& voices, const std::string& voice, int rate);
    void Accept();

    QComboBox* voiceBox = nullptr;
    QComboBox* variantBox = nullptr;  // the chosen voice's variants
    QSlider* rateSlider = nullptr;
    QLabel* rateLabel = nullptr;
    std::string Voice;
    int Rate = 0;

  private:
    void ShowRate();
    void ShowVariants(const std::string& variant);
    std::vector<std::string> voices_;
};
