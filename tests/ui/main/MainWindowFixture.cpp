// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/ui/main/MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "ui/alarms/AlarmPlayer.h"

namespace vemo::test {

namespace {
class RecordingPlayer : public AlarmPlayer {
 public:
  explicit RecordingPlayer(PlayerRequests& requests) : requests_(requests) {}
  void Play() override {
    if (requests_.playing) return;
    requests_.playing = true;
    ++requests_.plays;
    if (requests_.onPlay) requests_.onPlay();
  }
  void Stop() override {
    if (!requests_.playing) return;
    requests_.playing = false;
    ++requests_.stops;
  }

 private:
  PlayerRequests& requests_;
};
}  // namespace

void ExpectWorkedExample(const TFormMain& f) {
  EXPECT_EQ(f.Label1D->text(), "Forward Power (W):");
  EXPECT_EQ(f.Label2D->text(), "Reflected Power (W):");
  EXPECT_EQ(f.Edit_Forward_Power->text(), "  100.0");
  EXPECT_EQ(f.Edit_Reverse_Power->text(), "      1.00");
  EXPECT_EQ(f.Edit_Return_Loss->text(), "    -20.00");
  EXPECT_EQ(f.Edit_VSWR->text(), "      1.22");
  EXPECT_EQ(f.Edit_Rho->text(), "      0.10");
  EXPECT_EQ(f.Edit_Transmited_Power->text(), "     99.00");
  EXPECT_EQ(f.editDBM->text(), "   50.0");
  EXPECT_EQ(f.editDBm1->text(), "   50.0");
}

void MainWindowTest::SetUp() {
  ASSERT_TRUE(dir.isValid());
  iniPath = dir.filePath(QStringLiteral("VemoSWR.ini")).toStdString();
  qputenv("VEMOSWR_INI", QByteArray::fromStdString(iniPath));
  qputenv("XDG_DATA_HOME", dir.path().toUtf8());  // the stored history
  SetAlarmPlayerFactory(
      [this](AlarmPlayer::Problem) { return std::make_unique<RecordingPlayer>(player); });
  // The simulator answers at once: the window's tests need no second-long settle pause.
  TFormMain::LinkTimingHook().Settle = kTestSettle;
  TFormMain::SetMessageBoxHook(
      [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
        messages.push_back({icon, text.toStdString(), buttons});
        if (onMessage) onMessage(messages.back());
        if (answers.empty()) return QMessageBox::Ok;
        const QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
      });
}

void MainWindowTest::TearDown() {
  // Handlers of dialogs that never came refer to the finished test: drop them first.
  for (QTimer* poll : pollers.findChildren<QTimer*>()) delete poll;
  form.reset();
  appForms.reset();
  TFormMain::SetMessageBoxHook({});
  TFormMain::LinkTimingHook() = LinkTiming{};
  SetAlarmPlayerFactory({});
}

namespace {

class FastClock : public Clock {
 public:
  explicit FastClock(int factor) : factor_(factor) {}
  WallTime Now() const override {
    return start_ + (std::chrono::system_clock::now() - start_) * factor_;
  }

 private:
  int factor_;
  WallTime start_ = std::chrono::system_clock::now();
};

}  // namespace

void MainWindowTest::SpeedUpReplies(int factor) {
  replyClock = std::make_unique<FastClock>(factor);
  TFormMain::LinkTimingHook().ReplyClock = replyClock.get();
}

void MainWindowTest::StartSim(std::vector<std::string> args, int port) {
  if (std::find(args.begin(), args.end(), "--noise") == args.end())
    args.insert(args.end(), {"--noise", "0"});
  const std::string device = sim.Start(args);
  AddSettings("[Ports]\nCOM" + std::to_string(port) + "=" + device +
              "\n[Communication]\nComPort=" + std::to_string(port) + "\n");
}

void MainWindowTest::AddSettings(const std::string& text) {
  QFile file(QString::fromStdString(iniPath));
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write(QByteArray::fromStdString(text));
}

std::string MainWindowTest::SettingsText() const {
  QFile file(QString::fromStdString(iniPath));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

TFormMain& MainWindowTest::Open() {
  form = std::make_unique<TFormMain>();
  return *form;
}

TFormMain& MainWindowTest::Window() {
  return form ? *form : *appForms->FormMain;
}

TFormMain& MainWindowTest::OpenWithDialogs() {
  appForms = CreateApplicationForms();
  return *appForms->FormMain;
}

void MainWindowTest::WhenModal(std::function<void(QDialog*)> handle) {
  auto* poll = new QTimer(&pollers);
  poll->setInterval(20);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, handle] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    handle(dialog);
  });
  poll->start();
}

void MainWindowTest::CloseWindow() {
  if (!form) return;
  form->close();
  form.reset();
}

bool MainWindowTest::WaitUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
  return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
}

std::vector<std::string> MainWindowTest::MessageTexts() const {
  std::vector<std::string> texts;
  for (const ShownMessage& m : messages) texts.push_back(m.text);
  return texts;
}

size_t MainWindowTest::CountCommand(const std::string& command) const {
  const std::vector<std::string> commands = Commands();
  return static_cast<size_t>(std::count(commands.begin(), commands.end(), command));
}

void MainWindowTest::TriggerAndWait() {
  const size_t before = CountCommand("T");
  TFormMain& f = Window();
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") > before && !f.TickRunning(); }));
}

void MainWindowTest::DuringExchange(const std::string& command, std::function<void()> action) {
  ranDuringTick = false;
  const size_t before = CountCommand(command);
  TFormMain* f = &Window();
  auto* poll = new QTimer(f);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, poll, [this, f, poll, before, command, action] {
    if (!f->TickRunning() || CountCommand(command) <= before) return;
    poll->stop();
    poll->deleteLater();
    action();
    ranDuringTick = true;
  });
  poll->start();
}

}  // namespace vemo::test
