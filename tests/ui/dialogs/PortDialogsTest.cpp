// SPDX-License-Identifier: GPL-3.0-or-later
// The port dialog, the port selection dialog and the about box; the port dialogs against
// real pseudo-terminals mapped to port numbers.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "platform/SettingsPath.h"
#include "serial/ComPort.h"
#include "serial/PortProbe.h"
#include "serial/SerialErrors.h"
#include "tests/serial/PtyPeer.h"
#include "tests/ui/controls/ModalWatcher.h"
#include "tests/ui/dialogs/DialogGeometry.h"
#include "ui/dialogs/Aboutdlg.h"
#include "ui/dialogs/Comdlg.h"
#include "ui/dialogs/ProgramIcon.h"
#include "ui/dialogs/SelectPort.h"

namespace vemo {
namespace {

// Another process holding a port the way a terminal program does: exclusive and locked.
class PortHolder {
 public:
  explicit PortHolder(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls in the child of a threaded process.
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd >= 0) {
        ::ioctl(fd, TIOCEXCL);
        ::flock(fd, LOCK_EX);
      }
      const char state = fd >= 0 ? '1' : '0';
      (void)!::write(ready[1], &state, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char state = '0';
    held_ = pid_ > 0 && ::read(ready[0], &state, 1) == 1 && state == '1';
    ::close(ready[0]);
  }
  ~PortHolder() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

// Takes a port number's mapping away again: pty numbers are reused, and two numbers mapped
// to one device would list it only once.
void Unmap(std::initializer_list<int> numbers) {
  for (int n : numbers) test::MapPort(n, "/dev/vemo-unmapped");
}

// ---- TdlgComm -----------------------------------------------------------------------------

class CommDialog : public testing::Test {
 protected:
  void SetUp() override {
    test::MapPort(3, peer3_.SlavePath());
    test::MapPort(5, peer5_.SlavePath());
    test::MapPort(6, "/dev/vemo-no-such-port");
    port_.SetBaud(9600);
    port_.SetComNumber(3);
    port_.SetOpen(true);
  }
  void TearDown() override { Unmap({3, 5, 6}); }

  // The main window's ChangeComPort on the real component.
  bool ChangeComPort(uint8_t n) {
    calls_.push_back(n);
    if (n == port_.ComNumber()) return false;
    port_.SetOpen(false);
    const uint16_t previous = port_.ComNumber();
    try {
      port_.SetComNumber(n);
      port_.SetOpen(true);
      return true;
    } catch (const ESerialException&) {
      port_.SetComNumber(previous);
      return false;
    }
  }

  void ShowFor(int portNumber) {
    dialog_.SelectPort(portNumber);
    dialog_.show();
  }

  test::PtyPeer peer3_, peer5_;
  TComPort port_;
  std::vector<int> calls_;
  TdlgComm dialog_{port_, [this](uint8_t n) { return ChangeComPort(n); }};
};

TEST_F(CommDialog, OffersSixteenPortsAndTheSamePortChangesNothing) {
  ShowFor(3);
  ASSERT_EQ(dialog_.cmbobxCommPort->count(), 16);
  EXPECT_EQ(dialog_.cmbobxCommPort->itemText(15), "Com Port 16");
  EXPECT_EQ(dialog_.cmbobxCommPort->currentText(), "Com Port 3");
  for (const std::string& fault : test::LayoutFaults(&dialog_)) ADD_FAILURE() << fault;
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(calls_.empty());
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_TRUE(port_.Open());
  dialog_.SelectPort(17);  // beyond the list: nothing selected, nothing to switch to
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(calls_.empty());
  QTest::mouseClick(dialog_.CancelBtn, Qt::LeftButton);
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
}

TEST_F(CommDialog, AFailedChangeReselectsTheCurrentPortAndStaysOpenASuccessfulOneCloses) {
  ShowFor(3);
  dialog_.SelectPort(6);
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(dialog_.cmbobxCommPort->currentText(), "Com Port 3");
  EXPECT_FALSE(port_.Open());

  dialog_.SelectPort(5);
  QTest::mouseClick(dialog_.OKBtn, Qt::LeftButton);
  EXPECT_EQ(calls_, (std::vector<int>{6, 5}));
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(port_.ComNumber(), 5);
  EXPECT_TRUE(port_.Open());
}

TEST_F(CommDialog, AnUnexpectedFailureIsShownAndTheDialogStaysOpen) {
  TdlgComm dialog(port_, [](uint8_t) -> bool { throw Exception("Out of handles"); });
  dialog.SelectPort(5);
  dialog.show();
  test::ModalWatcher watcher;
  QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  EXPECT_EQ(watcher.Text(), "Out of handles");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.cmbobxCommPort->currentText(), "Com Port 3");
}

// ---- TComSelectForm ---------------------------------------------------------------------

class SelectPortDialog : public testing::Test {
 protected:
  void TearDown() override { TCustomComPort::SetPortSelector(nullptr); }
};

TEST_F(SelectPortDialog, ListsPresentPortsIncludingOneHeldByAnotherProcess) {
  test::PtyPeer free, held;
  test::MapPort(41, free.SlavePath());
  test::MapPort(42, held.SlavePath());
  test::MapPort(43, "/dev/vemo-no-such-port");
  PortHolder holder(held.SlavePath());
  ASSERT_TRUE(holder.Held());
  ASSERT_EQ(ProbePort(held.SlavePath()), TPortPresence::InUse);

  TComSelectForm form;
  QStringList items;
  for (int i = 0; i < form.PortsComboBox->count(); ++i) items << form.PortsComboBox->itemText(i);
  EXPECT_TRUE(items.contains("COM41")) << items.join(' ').toStdString();
  EXPECT_TRUE(items.contains("COM42")) << items.join(' ').toStdString();
  EXPECT_FALSE(items.contains("COM43"));
  EXPECT_EQ(form.PortsComboBox->currentIndex(), 0);
  form.PortsComboBox->setCurrentIndex(items.indexOf("COM42"));
  EXPECT_THAT(
      form.PortDetails->text().toStdString(),
      testing::StartsWith(held.SlavePath() + ": mapped in VemoSWR.ini (in use by process "));
  form.show();
  for (const std::string& fault : test::LayoutFaults(&form)) ADD_FAILURE() << fault;
  Unmap({41, 42, 43});
}

TEST_F(SelectPortDialog, TheChosenPortIsTheNumberAfterComAndWithoutPortsOnlyCancelIsLeft) {
  TComSelectForm form({3, 12});
  form.PortsComboBox->setCurrentIndex(1);
  EXPECT_EQ(form.SelectedPort(), 12);

  TComSelectForm none(std::vector<int>{});
  none.show();
  EXPECT_FALSE(none.OkBtn->isEnabled());
  EXPECT_EQ(none.SelectedPort(), 0);
  QTest::keyClick(&none, Qt::Key_Return);
  EXPECT_TRUE(none.isVisible()) << "Enter must not accept an empty choice";
}

TEST_F(SelectPortDialog, OpeningWithoutAPortNumberAsksTheUser) {
  test::PtyPeer peer;
  test::MapPort(44, peer.SlavePath());
  InstallPortSelectionDialog();

  test::ModalWatcher choose([](QWidget* modal) {
    auto* form = qobject_cast<TComSelectForm*>(modal);
    ASSERT_NE(form, nullptr);
    form->PortsComboBox->setCurrentIndex(form->PortsComboBox->findText("COM44"));
    form->OkBtn->click();
  });
  TComPort port;
  port.SetOpen(true);
  EXPECT_EQ(choose.Count(), 1);
  EXPECT_EQ(port.ComNumber(), 44);
  EXPECT_TRUE(port.Open());
  port.SetOpen(false);
  Unmap({44});
}

TEST_F(SelectPortDialog, CancellingTheChoiceFailsTheOpeningWithNoPortSelected) {
  InstallPortSelectionDialog();
  test::ModalWatcher cancel([](QWidget* modal) {
    auto* form = qobject_cast<TComSelectForm*>(modal);
    ASSERT_NE(form, nullptr);
    form->AbortBtn->click();
  });
  TComPort port;
  try {
    port.SetOpen(true);
    ADD_FAILURE() << "the opening did not fail";
  } catch (const ESerialException& e) {
    EXPECT_EQ(e.ErrorCode(), ecNoPortSelected);
  }
  EXPECT_EQ(cancel.Count(), 1);
  EXPECT_FALSE(port.Open());
}

// ---- TdlgAbout and the icon ------------------------------------------------------------------

TEST(AboutBox, ShowsTheRevisionAndADrawnIconUnclipped) {
  TdlgAbout about;
  about.show();
  EXPECT_EQ(about.Version->text(), "Revision: 23-Feb-2011");
  EXPECT_EQ(about.SettingsFile->text().toStdString(), "Settings: " + SettingsFilePath());
  for (const std::string& fault : test::LayoutFaults(&about)) ADD_FAILURE() << fault;
  for (int size : {16, 48, 256}) {
    const QImage image = ApplicationIcon().pixmap(size, size).toImage();
    ASSERT_EQ(image.width(), size);
    int opaque = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) opaque += qAlpha(image.pixel(x, y)) > 200;
    }
    // A meter glyph covering most of the square, with transparent rounded corners.
    EXPECT_GT(opaque, size * size * 3 / 4) << size;
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
  }
}

}  // namespace
}  // namespace vemo
