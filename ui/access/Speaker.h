// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The talking meter's voice: Qt Text To Speech on the system's speech engine (speech
// dispatcher on Linux), in the user's language. Without an engine it says so once through
// the Problem function and stays quiet; the rest of the program works on.

#include <QLocale>
#include <QObject>
#include <QString>

#include <functional>

class QTextToSpeech;

namespace vemo {

class Speaker : public QObject {
  Q_OBJECT

 public:
  using Problem = std::function<void(const QString& message)>;
  explicit Speaker(Problem problem, QObject* parent = nullptr);
  ~Speaker() override;

  // Says text at once, cutting short whatever was being said (the latest reading counts).
  void Say(const QString& text);
  // False once the engine has been found missing or failing.
  bool Usable() const { return usable_; }
  // The language the numbers are phrased in: the engine's.
  QLocale Locale() const;

 private:
  bool Ready();
  void Fail(const QString& message);

  Problem problem_;
  QTextToSpeech* tts_ = nullptr;  // made on first use: connecting to the engine takes time
  bool usable_ = true;
};

}  // namespace vemo
