// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/access/Speaker.h"

#include <QTextToSpeech>

namespace vemo {

Speaker::Speaker(Problem problem, QObject* parent)
    : QObject(parent), problem_(std::move(problem)) {}

Speaker::~Speaker() = default;

bool Speaker::Ready() {
  if (!usable_) return false;
  if (tts_) return true;
  if (QTextToSpeech::availableEngines().isEmpty()) {
    Fail(
        tr("No speech engine: the meter cannot speak. Install and start speech-dispatcher "
           "(with the Qt speech plugin); everything else works without it."));
    return false;
  }
  tts_ = new QTextToSpeech(this);
  if (tts_->state() == QTextToSpeech::Error) {
    Fail(tr("The speech engine failed to start (%1): the meter cannot speak.")
             .arg(tts_->errorString()));
    return false;
  }
  // The user's language where the engine has it; the program's own default locale is C.
  const QLocale user = QLocale::system();
  for (const QLocale& locale : tts_->availableLocales()) {
    if (locale.language() == user.language()) {
      tts_->setLocale(locale);
      break;
    }
  }
  connect(tts_, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
    if (state == QTextToSpeech::Error)
      Fail(tr("The speech engine failed (%1): the meter stops speaking.").arg(tts_->errorString()));
  });
  return true;
}

void Speaker::Say(const QString& text) {
  if (!Ready()) return;
  tts_->stop();
  tts_->say(text);
}

QLocale Speaker::Locale() const {
  return tts_ ? tts_->locale() : QLocale::system();
}

void Speaker::Fail(const QString& message) {
  if (!usable_) return;
  usable_ = false;
  if (problem_) problem_(message);
}

}  // namespace vemo
