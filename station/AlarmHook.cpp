#include "station/AlarmHook.h"

#include "station/AlarmLog.h"
#include "station/IsoTime.h"
#include "station/Readout.h"

#include <QProcessEnvironment>

#include <csignal>

namespace vemo {

bool SplitCommandLine(const std::string& line, std::vector<std::string>& args, std::string& error) {
  args.clear();
  std::string arg;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\') {
      if (++i == line.size()) {
        error = "the command line ends in a backslash";
        return false;
      }
      arg += line[i];
      inArg = true;
    } else if (c == '"') {
      quoted = !quoted;
      inArg = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inArg) args.push_back(std::move(arg));
      arg.clear();
      inArg = false;
    } else {
      arg += c;
      inArg = true;
    }
  }
  if (quoted) {
    error = "a quote in the command line is not closed";
    return false;
  }
  if (inArg) args.push_back(std::move(arg));
  if (args.empty()) {
    error = "the command line is empty";
    return false;
  }
  return true;
}

AlarmHook::AlarmHook(std::string commandLine, std::string port, Notify notify, int limitMs)
    : commandLine_(std::move(commandLine)),
      port_(std::move(port)),
      notify_(std::move(notify)),
      limitMs_(limitMs) {
  limit_.setSingleShot(true);
  // What the hook prints is of no use here, and must not pile up in memory.
  process_.setStandardInputFile(QProcess::nullDevice());
  process_.setStandardOutputFile(QProcess::nullDevice());
  process_.setStandardErrorFile(QProcess::nullDevice());
  // The program watches its stop signals with them blocked, and a child inherits that mask:
  // the hook starts with none blocked, as any command expects (a SIGTERM must end it).
  process_.setChildProcessModifier([] {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
  });
  QObject::connect(&limit_, &QTimer::timeout, &context_, [this] {
    timedOut_ = true;
    process_.kill();
  });
  QObject::connect(
      &process_, &QProcess::errorOccurred, &context_, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
          Finished("could not be started (" + process_.errorString().toStdString() + ")");
      });
  QObject::connect(&process_, &QProcess::finished, &context_,
                   [this](int code, QProcess::ExitStatus status) {
                     if (timedOut_)
                       Finished("did not finish within " + FormatNumber("%g", limitMs_ / 1000.0) +
                                " seconds and was stopped");
                     else if (status == QProcess::CrashExit)
                       Finished("crashed");
                     else if (code != 0)
                       Finished("ended with exit status " + std::to_string(code));
                     else
                       Finished("");
                   });
}

AlarmHook::~AlarmHook() {
  // A hook still running is killed; nothing is told then.
  QObject::disconnect(&process_, nullptr, &context_, nullptr);
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(1000);  // the kill cannot be refused: this returns at once
  }
}

void AlarmHook::Run(const TAlarmEvent& event) {
  if (event.Change == AlarmChange::Acknowledged) return;
  if (waiting_.size() >= kMaxWaiting) {
    ++dropped_;
    Fail(std::to_string(dropped_) + (dropped_ == 1 ? " alarm event" : " alarm events") +
         " did not reach the alarm hook \"" + commandLine_ +
         "\": it was still busy with earlier ones. Make the hook return sooner.");
    return;
  }
  waiting_.push_back(event);
  if (!running_) StartNext();
}

void AlarmHook::StartNext() {
  while (!waiting_.empty() && !running_) {
    const TAlarmEvent event = waiting_.front();
    waiting_.pop_front();
    std::vector<std::string> args;
    std::string error;
    if (!SplitCommandLine(commandLine_, args, error)) {
      Fail("The alarm hook \"" + commandLine_ + "\" cannot be run: " + error +
           ". Correct Hook in Alarm Settings.");
      continue;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEMOSWR_ALARM_SOURCE", AlarmSourceName(event.Source));
    env.insert("VEMOSWR_ALARM_STATE", AlarmChangeName(event.Change));
    env.insert("VEMOSWR_ALARM_VALUE",
               QString::fromStdString(AlarmValueText(event.Source, event.Value)));
    env.insert("VEMOSWR_ALARM_TIME", QString::fromStdString(IsoTime(event.TimeMs)));
    env.insert("VEMOSWR_ALARM_PORT", QString::fromStdString(port_));
    QStringList arguments;
    for (size_t i = 1; i < args.size(); ++i) arguments << QString::fromStdString(args[i]);
    process_.setProcessEnvironment(env);
    running_ = true;
    timedOut_ = false;
    limit_.start(limitMs_);
    process_.start(QString::fromStdString(args[0]), arguments);
  }
}

void AlarmHook::Finished(const std::string& failure) {
  if (!running_) return;  // a start failure is also reported by finished() on some paths
  running_ = false;
  limit_.stop();
  if (!failure.empty()) {
    Fail("The alarm hook \"" + commandLine_ + "\" " + failure + ".");
  } else if (failing_) {
    failing_ = false;
    dropped_ = 0;
    if (notify_) notify_(false, "The alarm hook \"" + commandLine_ + "\" works again.");
  }
  // Not from inside the process's signal: start the next run from the event loop.
  if (!waiting_.empty()) QTimer::singleShot(0, &context_, [this] { StartNext(); });
}

void AlarmHook::Fail(const std::string& message) {
  if (failing_) return;
  failing_ = true;
  if (notify_) notify_(true, message);
}

}  // namespace vemo
