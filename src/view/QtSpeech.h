// Speech through Qt's text-to-speech, over speech-dispatcher where it is
// installed: the voice of the book's language, or the one the reader chose.
//
// The engine lives on a thread of its own: speech-dispatcher is reached over a
// socket, and a daemon that accepts the connection and never answers would
// otherwise hold the window's thread (keys, paging, a signal's save) for good.
// The window's thread only posts requests to it and takes its news.
#pragma once

#include <QMap>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "reading/SpeechEngine.h"

class QThread;
class QTimer;
class SpeechWorker;

class QtSpeech : public QObject, public ISpeechEngine {
  public:
    // Starts the engine's thread; the engine itself is made there.
    QtSpeech();
    ~QtSpeech() override;

    // What is missing for speech on this machine, without starting anything;
    // empty when an engine is installed.
    static QString WhyNotInstalled();
    // Whether anything can speak on this machine, as far as is known yet (an
    // engine still starting counts as one); WhyNot() says what is missing.
    bool Available() const;
    QString WhyNot() const;

    void Say(const std::string& text, const std::string& language) override;
    void Stop() override;

    // The names of the voices of a language ("ru", "en"), as the engine listed
    // them when it started (waited for a few seconds at most, the window's
    // events going on).
    QStringList Voices(const std::string& language);
    // The voice to speak in (a name of Voices; empty: the language's first) and
    // the rate, -10 (slowest) to 10.
    void SetVoice(const std::string& name);
    void SetRate(int rate);

    // A text given and not begun within this time: the engine does not speak
    // (speech-dispatcher without a sound output accepts texts and stays
    // silent; one that never answers keeps its thread waiting).
    static constexpr int StartLimitMs = 5000;

  private:
    friend class SpeechWorker;
    // News from the engine's thread, on the window's thread.
    void Ready(bool ok, const QString& why, const QMap<QString, QStringList>& voices);
    void Began(uint64_t text);
    void Spoken(uint64_t text);
    void Failed(uint64_t text, const QString& why);

    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
    QThread* thread_ = nullptr;
    SpeechWorker* worker_ = nullptr;
    QTimer* startLimit_ = nullptr;
    uint64_t text_ = 0;    // the text given last; 0 after Stop
    bool ready_ = false;   // the engine has started (or failed to)
    bool failed_ = false;  // and cannot speak
    QString why_;
    QMap<QString, QStringList> voices_;
};
