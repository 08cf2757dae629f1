#include "QtSpeech.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTextToSpeech>
#include <QTimer>
#include <QVoice>

#include <algorithm>

namespace {
QLocale LocaleOf(const std::string& language) {
    return language == "ru" ? QLocale(QLocale::Russian, QLocale::Russia)
                            : QLocale(QLocale::English, QLocale::UnitedStates);
}
}  // namespace

TQtSpeech::TQtSpeech() {
    const QStringList engines = QTextToSpeech::availableEngines();
    if (engines.isEmpty()) return;
    // speech-dispatcher speaks Russian and English (through espeak-ng).
    tts_ = new QTextToSpeech(engines.contains("speechd") ? "speechd" : engines.first(), this);
    startLimit_ = new QTimer(this);
    startLimit_->setSingleShot(true);
    startLimit_->setInterval(StartLimitMs);
    connect(startLimit_, &QTimer::timeout, this, [this] {
        if (!waiting_ || started_) return;
        tts_->stop();
        Fail(QCoreApplication::translate(
            "Tavisto", "The speech engine does not speak: is there a sound output?"));
    });
    connect(tts_, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State s) {
        if (s == QTextToSpeech::Error) {
            return Fail(QCoreApplication::translate("Tavisto", "The speech engine failed: %1")
                            .arg(tts_->errorString()));
        }
        if (s == QTextToSpeech::Speaking) {
            started_ = true;
            startLimit_->stop();
        }
        if (s != QTextToSpeech::Ready || !waiting_ || !started_) return;
        waiting_ = started_ = false;
        if (OnSpoken) OnSpoken();
    });
}

TQtSpeech::~TQtSpeech() {
    waiting_ = false;
    if (tts_) tts_->stop();
}

QString TQtSpeech::WhyNotInstalled() {
    const QStringList engines = QTextToSpeech::availableEngines();
    const bool speechd = engines.contains("speechd");
    if (engines.isEmpty() || (speechd && engines.size() == 1 &&
                              QStandardPaths::findExecutable("speech-dispatcher").isEmpty()))
        return QCoreApplication::translate(
            "Tavisto", "No speech engine: install speech-dispatcher and espeak-ng");
    return {};
}

bool TQtSpeech::Available() const {
    return tts_ && tts_->state() != QTextToSpeech::Error;
}

QString TQtSpeech::WhyNot() const {
    if (!tts_)
        return QCoreApplication::translate(
            "Tavisto", "No speech engine: install speech-dispatcher and espeak-ng");
    if (tts_->state() == QTextToSpeech::Error)
        return QCoreApplication::translate("Tavisto", "The speech engine does not start: %1")
            .arg(tts_->errorString());
    return {};
}

void TQtSpeech::UseLanguage(const std::string& language) {
    if (language.empty() || (chosen_ && language == language_)) return;
    language_ = language;
    chosen_ = true;
    tts_->setLocale(LocaleOf(language));
    if (voice_.empty()) return;
    for (const QVoice& v : tts_->availableVoices())
        if (v.name().toStdString() == voice_) tts_->setVoice(v);
}

void TQtSpeech::Say(const std::string& text, const std::string& language) {
    if (!Available()) return;
    UseLanguage(language);
    waiting_ = true;
    started_ = false;
    startLimit_->start();
    tts_->say(QString::fromStdString(text));
}

void TQtSpeech::Stop() {
    waiting_ = started_ = false;
    if (startLimit_) startLimit_->stop();
    if (tts_) tts_->stop();
}

void TQtSpeech::Fail(const QString& why) {
    const bool spoke = waiting_;
    waiting_ = started_ = false;
    startLimit_->stop();
    if (spoke && OnFailed) OnFailed(why.toStdString());
}

QStringList TQtSpeech::Voices(const std::string& language) const {
    QStringList names;
    if (!Available()) return names;
    const QLocale was = tts_->locale();
    tts_->setLocale(LocaleOf(language));
    for (const QVoice& v : tts_->availableVoices()) names << v.name();
    tts_->setLocale(was);
    return names;
}

void TQtSpeech::SetVoice(const std::string& name) {
    voice_ = name;
    chosen_ = false;  // chosen again at the next sentence
}

void TQtSpeech::SetRate(int rate) {
    if (tts_) tts_->setRate(std::clamp(rate, -10, 10) / 10.0);
}

bool TQtSpeech::Speaking() const {
    return tts_ &&
           (tts_->state() == QTextToSpeech::Speaking || tts_->state() == QTextToSpeech::Paused);
}
