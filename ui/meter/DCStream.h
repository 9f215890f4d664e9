// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A typed binary stream for the dial's element lists: every value is preceded by a one-byte
// tag naming its type, lists are bracketed by start and end markers, and integers take the
// smallest of 8, 16 or 32 bits. Multi-byte values are little-endian; strings are UTF-8.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "platform/Exception.h"

namespace vemo {

// A stream that ends early or holds a value of the wrong type.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

enum class TValueType : std::uint8_t {
  vaNull = 0,  // end of a list
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaString = 6,   // up to 255 bytes, one length byte
  vaLString = 12  // longer strings, 32-bit length
};

class TDCWriter {
 public:
  void WriteInteger(std::int32_t Value);
  void WriteString(const QString& Value);
  void WriteListBegin();
  void WriteListEnd();
  // One byte without a type tag.
  void WriteRawByte(std::uint8_t Value);
  // A property name: length byte and characters, without a type tag.
  void WritePropName(const QString& Name);

  const QByteArray& Data() const { return fData; }

 private:
  void WriteValue(TValueType Type);
  void WriteLittleEndian(std::uint32_t Value, int Bytes);

  QByteArray fData;
};

class TDCReader {
 public:
  explicit TDCReader(QByteArray Data) : fData(std::move(Data)) {}

  std::int32_t ReadInteger();
  QString ReadString();
  void ReadListBegin();
  void ReadListEnd();
  // True when the next value is the end-of-list marker (which stays unread).
  bool EndOfList() const;
  std::uint8_t ReadRawByte();
  QString ReadPropName();
  bool AtEnd() const { return fPos >= fData.size(); }

 private:
  TValueType ReadValue();
  std::uint32_t ReadLittleEndian(int Bytes);
  QByteArray ReadBytes(qsizetype Count);

  QByteArray fData;
  qsizetype fPos = 0;
};

}  // namespace vemo
