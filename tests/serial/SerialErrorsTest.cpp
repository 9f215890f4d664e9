// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/SerialErrors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <typeinfo>

namespace vemo {
namespace {

template <class E>
bool Is(const ESerialException& e) {
  return typeid(e) == typeid(E);
}

struct ClassCase {
  int code;
  std::function<bool(const ESerialException&)> isExpectedClass;
  bool underOpenComm;
  const char* text;
};

TEST(RaiseRule, CodesWithTheirOwnClassRaiseItWithTheCodesTextAndCode) {
  const ClassCase cases[] = {
      {-2011, Is<ENoPortSelected>, true, "The ComNumber property of the TComPort has not been set"},
      {-2001, Is<EBadId>, true, "ie_BadId - Specified comport doesn't exist"},
      {-2007, Is<ECommNotOpen>, true, "ie_NOpen - device not open"},
      {-2008, Is<EAlreadyOpen>, true, "ie_Open - device already open"},
      {-3001, Is<ENullApi>, false, "No device layer specified"},
      {-3004, Is<EPutBlockFail>, false, "Failed to put entire block"},
      {-3006, Is<EOutputBufferTooSmall>, false, "Output buffer too small for block"},
      {-3007, Is<EBufferIsEmpty>, false, "Buffer is empty"},
      {-1002, Is<EBadArgument>, false, "Bad argument passed to function"},
      {-5002, Is<ETriggerTooLong>, false, "Data trigger too long"},
      {-5003, Is<EBadTriggerHandle>, false, "Bad trigger handle"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    try {
      CheckException(c.code);
      ADD_FAILURE() << "nothing raised";
    } catch (const ESerialException& e) {
      EXPECT_TRUE(c.isExpectedClass(e)) << typeid(e).name();
      EXPECT_EQ(c.underOpenComm, dynamic_cast<const EOpenComm*>(&e) != nullptr);
      EXPECT_STREQ(c.text, e.what());
      EXPECT_EQ(c.code, e.ErrorCode());
    }
  }
}

TEST(RaiseRule, PermissionDeniedTellsTheUserHowToGetAccess) {
  try {
    CheckException(ErrnoToResult(EACCES));
    FAIL() << "nothing raised";
  } catch (const EPermissionDenied& e) {
    EXPECT_EQ(ecPermissionDenied, e.ErrorCode());
    const std::string text = e.what();
    EXPECT_NE(std::string::npos, text.find("\"dialout\""));
    EXPECT_NE(std::string::npos, text.find("sudo usermod -aG dialout $USER"));
    EXPECT_TRUE(dynamic_cast<const EOpenComm*>(&e) != nullptr);
  }
}

TEST(RaiseRule, SystemRangeRaisesTheInOutErrorWithTheMagnitude) {
  const struct {
    int code;
    std::string text;
  } cases[] = {
      {-2, "File not found"},
      {-5, "File access denied"},
      {-162, "General failure"},
      {-13, std::strerror(13)},  // not in the table: the system's own text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    try {
      CheckException(c.code);
      ADD_FAILURE() << "nothing raised";
    } catch (const EInOutError& e) {
      EXPECT_EQ(c.text, e.what());
      EXPECT_EQ(-c.code, e.errorCode());
    }
  }
  EXPECT_THROW(CheckException(-8), EOutOfMemory);
}

TEST(RaiseRule, CodesWithoutAClassRaiseTheBaseClassAndKeepTheCode) {
  for (const int code : {-20000, -1001, -3002, -5001, -163, -1}) {
    SCOPED_TRACE(code);
    try {
      CheckException(code);
      ADD_FAILURE() << "nothing raised";
    } catch (const ESerialException& e) {
      EXPECT_TRUE(Is<ESerialException>(e)) << typeid(e).name();
      EXPECT_STREQ("Serial exception", e.what());
      EXPECT_EQ(code, e.ErrorCode());
    }
  }
}

TEST(RaiseRule, SuccessAndResultsWhileLoadingAreReturned) {
  EXPECT_EQ(0, CheckException(0));
  EXPECT_EQ(4096, CheckException(4096));
  EXPECT_EQ(-2011, CheckException(-2011, true));
  EXPECT_EQ(-8, CheckException(-8, true));
}

TEST(ErrorMessages, TableTextsAreFoundByMagnitude) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {0, "OK"},
      {-3009, "Logging not enabled"},
      {3009, "Logging not enabled"},
      {-2012, "Comport was not opened by Tapi"},
      {8, "Insufficient memory"},
      {15001, "No event"},
      {15010, "TrDatChg"},
      {15117, "Window"},
      {15129, "Sent Term"},
      {15601, "DCTS "},
      {15608, "DCD "},
      {15700, "Binary"},
      {15742, "Character Set"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, ErrorMsg(c.code)) << c.code;
}

TEST(ErrorMessages, CodesMissingFromTheTableFallBackToTheSystemText) {
  EXPECT_EQ(std::strerror(EINVAL), ErrorMsg(-EINVAL));
  EXPECT_EQ(std::strerror(ENOSPC), ErrorMsg(ENOSPC));
  // Neither the table nor the system knows these.
  EXPECT_EQ("", ErrorMsg(-20000));
  EXPECT_EQ("", ErrorMsg(4001));
  EXPECT_EQ("", ErrorMsg(INT_MIN));
}

TEST(ErrnoMapping, OpeningErrorsBecomeTheCodesTheComponentReports) {
  const struct {
    int err;
    int result;
  } cases[] = {
      {ENOENT, ecFileNotFound},
      {ENODEV, ecFileNotFound},
      {ENXIO, ecFileNotFound},
      {ENOTTY, ecFileNotFound},
      {EBUSY, ecAccessDenied},
      {EWOULDBLOCK, ecAccessDenied},
      {EACCES, ecPermissionDenied},
      {EPERM, ecPermissionDenied},
      {ENOMEM, ecOutOfMemory},
      {EMFILE, ecTooManyOpenFiles},
      {EINVAL, -EINVAL},
      // EIO shares its number with "File access denied"; that text would mislead.
      {EIO, ecGeneralFailure},
      {EINTR, ecGeneralFailure},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, ErrnoToResult(c.err)) << c.err;
}

TEST(ErrnoMapping, FileErrorsNameTheFileProblem) {
  EXPECT_EQ(ecAccessDenied, FileErrnoToResult(EACCES));
  EXPECT_EQ(ecWriteProtected, FileErrnoToResult(EROFS));
  EXPECT_EQ(ecFileNotFound, FileErrnoToResult(ENOENT));
  EXPECT_EQ(-ENOSPC, FileErrnoToResult(ENOSPC));
  EXPECT_EQ(ecGeneralFailure, FileErrnoToResult(EIO));
}

TEST(ErrnoMapping, NoErrnoIsShownWithATextOfAnotherMeaning) {
  // An errno that keeps its number must keep the system's text too, unless the table's text
  // for that number means the same (2: "File not found").
  for (int err = 1; err < 134; ++err) {
    for (const int result : {ErrnoToResult(err), FileErrnoToResult(err)}) {
      if (result == -err && err != ENOENT) {
        const std::string system = std::strerror(err);
        EXPECT_EQ(system.starts_with("Unknown error") ? "" : system, ErrorMsg(result)) << err;
      }
    }
  }
}

}  // namespace
}  // namespace vemo
