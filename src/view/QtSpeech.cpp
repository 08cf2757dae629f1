#include "view/QtSpeech.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTextToSpeech>
#include <QThread>
#include <QTimer>
#include <QVoice>

#include <algorithm>
#include <atomic>
#include <memory>

#include "reading/VoiceChoice.h"

namespace {
QLocale LocaleOf(const std::string& language) {
    return language == "ru" ? QLocale(QLocale::Russian, QLocale::Russia)
                            : QLocale(QLocale::English, QLocale::UnitedStates);
}

QString NoEngine() {
    return QCoreApplication::translate("Tavisto",
                                       "No speech engine: install speech-dispatcher and espeak-ng");
}

// How long the voice dialog waits for an engine still starting.
constexpr int VoicesWaitMs = 3000;
}  // namespace

// The engine, on its own thread: everything here runs there, and what it has to
// tell goes to the window's thread as a queued call on the owner (dropped when
// the owner is gone).
class SpeechWorker : public QObject {
  public:
    SpeechWorker(QtSpeech* owner, std::shared_ptr<std::atomic<bool>> ownerAlive)
        : owner_(owner), ownerAlive_(std::move(ownerAlive)) {}

    void Start(std::function<void(bool, QString, QMap<QString, QStringList>)> ready) {
        const QStringList engines = QTextToSpeech::availableEngines();
        QMap<QString, QStringList> voices;
        if (engines.isEmpty()) return Tell([ready, voices] { ready(false, NoEngine(), voices); });
        // speech-dispatcher speaks Russian and English (through espeak-ng).
        tts_ = new QTextToSpeech(engines.contains("speechd") ? "speechd" : engines.first(), this);
        connect(tts_, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State s) { Changed(s); });
        if (tts_->state() == QTextToSpeech::Error) {
            const QString why =
                QCoreApplication::translate("Tavisto", "The speech engine does not start: %1")
                    .arg(tts_->errorString());
            // Nothing more is asked of it: speech-dispatcher's plugin crashes
            // when a connection that failed is used.
            delete tts_;
            tts_ = nullptr;
            return Tell([ready, why, voices] { ready(false, why, voices); });
        }
        for (const char* language : {"ru", "en"}) {
            tts_->setLocale(LocaleOf(language));
            QStringList names;
            for (const QVoice& v : tts_->availableVoices()) names << v.name();
            voices[language] = names;
        }
        chosen_ = false;
        Tell([ready, voices] { ready(true, {}, voices); });
    }

    void Say(uint64_t text, const QString& words, const std::string& language) {
        if (!tts_) return;
        UseLanguage(language);
        text_ = text;
        waiting_ = true;
        started_ = false;
        tts_->say(words);
    }

    void Stop() {
        waiting_ = started_ = false;
        if (tts_) tts_->stop();
    }

    void SetVoice(const std::string& name) {
        voice_ = name;
        chosen_ = false;  // chosen again at the next sentence
    }

    void SetRate(int rate) {
        if (tts_) tts_->setRate(std::clamp(rate, -10, 10) / 10.0);
    }

  private:
    template <class F>
    void Tell(F f) {
        if (*ownerAlive_) QMetaObject::invokeMethod(owner_, std::move(f), Qt::QueuedConnection);
    }

    void Changed(QTextToSpeech::State s) {
        const uint64_t text = text_;
        QtSpeech* owner = owner_;
        if (s == QTextToSpeech::Error) {
            const QString why =
                QCoreApplication::translate("Tavisto", "The speech engine failed: %1")
                    .arg(tts_->errorString());
            waiting_ = started_ = false;
            return Tell([owner, text, why] { owner->Failed(text, why); });
        }
        if (s == QTextToSpeech::Speaking && waiting_ && !started_) {
            started_ = true;
            return Tell([owner, text] { owner->Began(text); });
        }
        if (s != QTextToSpeech::Ready || !waiting_ || !started_) return;
        waiting_ = started_ = false;
        Tell([owner, text] { owner->Spoken(text); });
    }

    void UseLanguage(const std::string& language) {
        if (language.empty() || (chosen_ && language == language_)) return;
        language_ = language;
        chosen_ = true;
        tts_->setLocale(LocaleOf(language));
        // The reader's voice when it speaks this language, else the language's own.
        const QList<QVoice> all = tts_->availableVoices();
        std::vector<std::string> names;
        for (const QVoice& v : all) names.push_back(v.name().toStdString());
        const bool own = std::find(names.begin(), names.end(), voice_) != names.end();
        const std::string chosen = own ? voice_ : DefaultVoice(names, language);
        for (const QVoice& v : all)
            if (v.name().toStdString() == chosen) tts_->setVoice(v);
    }

    QtSpeech* owner_;
    std::shared_ptr<std::atomic<bool>> ownerAlive_;
    QTextToSpeech* tts_ = nullptr;
    uint64_t text_ = 0;
    bool waiting_ = false;  // a text was given and has not been spoken to its end
    bool started_ = false;  // and the engine has begun to speak it
    std::string language_, voice_;
    bool chosen_ = false;  // the voice of language_ is set
};

QtSpeech::QtSpeech() {
    startLimit_ = new QTimer(this);
    startLimit_->setSingleShot(true);
    startLimit_->setInterval(StartLimitMs);
    connect(startLimit_, &QTimer::timeout, this, [this] {
        SpeechWorker* w = worker_;
        QMetaObject::invokeMethod(
            w, [w] { w->Stop(); }, Qt::QueuedConnection);
        Failed(text_, QCoreApplication::translate(
                          "Tavisto", "The speech engine does not speak: is there a sound output?"));
    });
    thread_ = new QThread;
    thread_->setObjectName("speech");
    worker_ = new SpeechWorker(this, alive_);
    worker_->moveToThread(thread_);
    thread_->start();
    QMetaObject::invokeMethod(
        worker_,
        [w = worker_, this] {
            w->Start([this](bool ok, const QString& why, const QMap<QString, QStringList>& v) {
                Ready(ok, why, v);
            });
        },
        Qt::QueuedConnection);
}

QtSpeech::~QtSpeech() {
    text_ = 0;
    *alive_ = false;
    SpeechWorker* w = worker_;
    QMetaObject::invokeMethod(
        w,
        [w] {
            w->Stop();
            delete w;
        },
        Qt::QueuedConnection);
    thread_->quit();
    // A thread held in a call that never returns (a daemon that never answers)
    // is left to the process's end rather than waited for.
    if (thread_->wait(2000)) delete thread_;
}

QString QtSpeech::WhyNotInstalled() {
    const QStringList engines = QTextToSpeech::availableEngines();
    const bool speechd = engines.contains("speechd");
    if (engines.isEmpty() || (speechd && engines.size() == 1 &&
                              QStandardPaths::findExecutable("speech-dispatcher").isEmpty()))
        return NoEngine();
    return {};
}

bool QtSpeech::Available() const {
    return !failed_;
}

QString QtSpeech::WhyNot() const {
    return failed_ ? why_ : QString();
}

void QtSpeech::Ready(bool ok, const QString& why, const QMap<QString, QStringList>& voices) {
    ready_ = true;
    failed_ = !ok;
    why_ = why;
    voices_ = voices;
    if (!ok && text_) Failed(text_, why);
}

void QtSpeech::Say(const std::string& text, const std::string& language) {
    if (failed_) {
        // Said through the failure channel, as any engine failure is.
        const uint64_t t = ++text_;
        QMetaObject::invokeMethod(
            this, [this, t] { Failed(t, why_); }, Qt::QueuedConnection);
        return;
    }
    const uint64_t t = ++text_;
    startLimit_->start();
    const QString words = QString::fromStdString(text);
    SpeechWorker* w = worker_;
    QMetaObject::invokeMethod(
        w, [w, t, words, language] { w->Say(t, words, language); }, Qt::QueuedConnection);
}

void QtSpeech::Stop() {
    text_ = 0;
    startLimit_->stop();
    SpeechWorker* w = worker_;
    QMetaObject::invokeMethod(
        w, [w] { w->Stop(); }, Qt::QueuedConnection);
}

void QtSpeech::Began(uint64_t text) {
    if (text == text_) startLimit_->stop();
}

void QtSpeech::Spoken(uint64_t text) {
    if (text != text_ || !text) return;
    text_ = 0;
    startLimit_->stop();
    if (OnSpoken) OnSpoken();
}

void QtSpeech::Failed(uint64_t text, const QString& why) {
    if (text != text_ || !text) return;
    text_ = 0;
    startLimit_->stop();
    if (OnFailed) OnFailed(why.toStdString());
}

QStringList QtSpeech::Voices(const std::string& language) {
    if (!ready_) {
        QEventLoop wait;
        QTimer::singleShot(VoicesWaitMs, &wait, &QEventLoop::quit);
        QTimer poll;
        connect(&poll, &QTimer::timeout, &wait, [this, &wait] {
            if (ready_) wait.quit();
        });
        poll.start(20);
        wait.exec();
    }
    return voices_.value(QString::fromStdString(language));
}

void QtSpeech::SetVoice(const std::string& name) {
    SpeechWorker* w = worker_;
    QMetaObject::invokeMethod(
        w, [w, name] { w->SetVoice(name); }, Qt::QueuedConnection);
}

void QtSpeech::SetRate(int rate) {
    SpeechWorker* w = worker_;
    QMetaObject::invokeMethod(
        w, [w, rate] { w->SetRate(rate); }, Qt::QueuedConnection);
}
