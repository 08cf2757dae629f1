// Speech through Qt's text-to-speech, over speech-dispatcher where it is
// installed: the voice of the book's language, or the one the reader chose.
#pragma once

#include <QObject>
#include <QStringList>

#include <string>

#include "render/SpeechEngine.h"

class QTextToSpeech;
class QTimer;

class TQtSpeech : public QObject, public ISpeechEngine {
  public:
    TQtSpeech();
    ~TQtSpeech() override;

    // What is missing for speech on this machine, without starting anything;
    // empty when an engine is installed.
    static QString WhyNotInstalled();
    // Whether anything can speak on this machine; WhyNot() says what is missing.
    bool Available() const;
    QString WhyNot() const;

    void Say(const std::string& text, const std::string& language) override;
    void Stop() override;

    // The names of the voices of a language ("ru", "en").
    QStringList Voices(const std::string& language) const;
    // The voice to speak in (a name of Voices; empty: the language's first) and
    // the rate, -10 (slowest) to 10.
    void SetVoice(const std::string& name);
    void SetRate(int rate);
    // Speaking, paused, or neither (tests).
    bool Speaking() const;

  private:
    void UseLanguage(const std::string& language);
    void Fail(const QString& why);
    // A text given and not begun within this time: the engine does not speak
    // (speech-dispatcher without a sound output accepts texts and stays silent).
    static constexpr int StartLimitMs = 5000;

    QTextToSpeech* tts_ = nullptr;
    QTimer* startLimit_ = nullptr;
    bool waiting_ = false;  // a text was given and has not been spoken to its end
    bool started_ = false;  // and the engine has begun to speak it
    std::string language_, voice_;
    bool chosen_ = false;  // the voice of language_ is set
};
