// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/AlarmHook.h"

#include "station/AlarmLog.h"
#include "station/IsoTime.h"
#include "station/Readout.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <iterator>

#include <signal.h>
#include <unistd.h>

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

struct AlarmHook::Runner {
  QProcess process;
  QTimer limit;
  AlarmSource source = AlarmSource::Monitor;
  bool running = false;
  bool timedOut = false;
};

namespace {
// SIGKILL for a process group a little after its SIGTERM, whether or not its leader has
// ended meanwhile: a child that ignores SIGTERM must not outlive the hook.
void KillGroupLater(QObject* context, qint64 group) {
  QTimer::singleShot(AlarmHook::kKillAfterTermMs, context,
                     [group] { ::kill(-static_cast<pid_t>(group), SIGKILL); });
}
}  // namespace

AlarmHook::AlarmHook(std::string commandLine, std::string port, Notify notify, int limitMs)
    : commandLine_(std::move(commandLine)),
      port_(std::move(port)),
      notify_(std::move(notify)),
      limitMs_(limitMs) {}

AlarmHook::~AlarmHook() {
  // A hook still running is killed with its group; nothing is told then.
  for (const auto& runner : runners_) {
    QObject::disconnect(&runner->process, nullptr, &context_, nullptr);
    if (runner->process.state() == QProcess::NotRunning || runner->process.processId() <= 0)
      continue;
    ::kill(-static_cast<pid_t>(runner->process.processId()), SIGKILL);
    runner->process.waitForFinished(1000);  // the kill cannot be refused: this returns at once
  }
}

bool AlarmHook::Busy() const {
  return !waiting_.empty() ||
         std::any_of(runners_.begin(), runners_.end(), [](const auto& r) { return r->running; });
}

void AlarmHook::Run(const TAlarmEvent& event) {
  if (event.Change == AlarmChange::Acknowledged) return;
  const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                 [&](const TAlarmEvent& e) { return e.Source == event.Source; });
  if (same != waiting_.end())
    *same = event;  // the hook learns the latest state of the source
  else
    waiting_.push_back(event);
  StartNext();
}

void AlarmHook::StartNext() {
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    const auto busySource = [&](const auto& r) { return r->running && r->source == it->Source; };
    if (std::any_of(runners_.begin(), runners_.end(), busySource)) {
      ++it;  // after the source's running hook, in order
      continue;
    }
    auto free =
        std::find_if(runners_.begin(), runners_.end(), [](const auto& r) { return !r->running; });
    if (free == runners_.end()) {
      if (runners_.size() >= static_cast<size_t>(kConcurrent)) return;
      runners_.push_back(std::make_unique<Runner>());
      free = std::prev(runners_.end());
      Runner& r = **free;
      r.limit.setSingleShot(true);
      // What the hook prints is of no use here, and must not pile up in memory.
      r.process.setStandardInputFile(QProcess::nullDevice());
      r.process.setStandardOutputFile(QProcess::nullDevice());
      r.process.setStandardErrorFile(QProcess::nullDevice());
      r.process.setChildProcessModifier([] {
        // Its own group, so that the whole of it can be stopped at the time limit.
        setpgid(0, 0);
        // The program watches its stop signals with them blocked, and a child inherits
        // that mask: the hook starts with none blocked, as any command expects.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
      });
      QObject::connect(&r.limit, &QTimer::timeout, &context_, [this, &r] {
        r.timedOut = true;
        const qint64 group = r.process.processId();
        if (group <= 0) return;  // already gone: never signal a group of our own
        ::kill(-static_cast<pid_t>(group), SIGTERM);
        KillGroupLater(&context_, group);
      });
      QObject::connect(
          &r.process, &QProcess::errorOccurred, &context_,
          [this, &r](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
              Finished(r, "could not be started (" + r.process.errorString().toStdString() + ")");
          });
      QObject::connect(&r.process, &QProcess::finished, &context_,
                       [this, &r](int code, QProcess::ExitStatus status) {
                         if (r.timedOut)
                           Finished(r, "did not finish within " +
                                           FormatNumber("%g", limitMs_ / 1000.0) +
                                           " seconds and was stopped");
                         else if (status == QProcess::CrashExit)
                           Finished(r, "crashed");
                         else if (code != 0)
                           Finished(r, "ended with exit status " + std::to_string(code));
                         else
                           Finished(r, "");
                       });
    }
    const TAlarmEvent event = *it;
    it = waiting_.erase(it);
    Start(**free, event);
  }
}

bool AlarmHook::Start(Runner& runner, const TAlarmEvent& event) {
  std::vector<std::string> args;
  std::string error;
  if (!SplitCommandLine(commandLine_, args, error)) {
    Fail("The alarm hook \"" + commandLine_ + "\" cannot be run: " + error +
         ". Correct Hook in the alarm settings.");
    return false;
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VEMOSWR_ALARM_SOURCE", AlarmSourceName(event.Source));
  env.insert("VEMOSWR_ALARM_STATE", AlarmChangeName(event.Change));
  env.insert("VEMOSWR_ALARM_VALUE",
             QString::fromStdString(AlarmValueText(event.Source, event.Value)));
  env.insert("VEMOSWR_ALARM_TIME", QString::fromStdString(IsoTime(event.TimeMs)));
  env.insert("VEMOSWR_ALARM_PORT", QString::fromStdString(port_));
  // A test goes the whole way; the hook can tell it from a real alarm.
  if (event.Source == AlarmSource::Test) env.insert("VEMOSWR_ALARM_TEST", "1");
  QStringList arguments;
  for (size_t i = 1; i < args.size(); ++i) arguments << QString::fromStdString(args[i]);
  runner.process.setProcessEnvironment(env);
  runner.source = event.Source;
  runner.running = true;
  runner.timedOut = false;
  runner.limit.start(limitMs_);
  runner.process.start(QString::fromStdString(args[0]), arguments);
  return true;
}

void AlarmHook::Finished(Runner& runner, const std::string& failure) {
  if (!runner.running) return;  // a start failure is also reported by finished() on some paths
  runner.running = false;
  runner.limit.stop();
  if (!failure.empty()) {
    Fail("The alarm hook \"" + commandLine_ + "\" " + failure + ".");
  } else if (failing_) {
    failing_ = false;
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
