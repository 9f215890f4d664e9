// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/meter/DCStream.h"

#include <limits>

namespace vemo {

namespace {
const char* const kStreamReadError = "Stream read error";
const char* const kInvalidValue = "Invalid property value";
}  // namespace

void TDCWriter::WriteValue(TValueType Type) {
  fData.append(static_cast<char>(Type));
}

void TDCWriter::WriteLittleEndian(std::uint32_t Value, int Bytes) {
  for (int i = 0; i < Bytes; ++i) fData.append(static_cast<char>((Value >> (8 * i)) & 0xFF));
}

void TDCWriter::WriteInteger(std::int32_t Value) {
  if (Value >= std::numeric_limits<std::int8_t>::min() &&
      Value <= std::numeric_limits<std::int8_t>::max()) {
    WriteValue(TValueType::vaInt8);
    WriteLittleEndian(static_cast<std::uint32_t>(Value), 1);
  } else if (Value >= std::numeric_limits<std::int16_t>::min() &&
             Value <= std::numeric_limits<std::int16_t>::max()) {
    WriteValue(TValueType::vaInt16);
    WriteLittleEndian(static_cast<std::uint32_t>(Value), 2);
  } else {
    WriteValue(TValueType::vaInt32);
    WriteLittleEndian(static_cast<std::uint32_t>(Value), 4);
  }
}

void TDCWriter::WriteString(const QString& Value) {
  const QByteArray Utf8 = Value.toUtf8();
  if (Utf8.size() <= 255) {
    WriteValue(TValueType::vaString);
    WriteLittleEndian(static_cast<std::uint32_t>(Utf8.size()), 1);
  } else {
    WriteValue(TValueType::vaLString);
    WriteLittleEndian(static_cast<std::uint32_t>(Utf8.size()), 4);
  }
  fData.append(Utf8);
}

void TDCWriter::WriteListBegin() {
  WriteValue(TValueType::vaList);
}

void TDCWriter::WriteListEnd() {
  WriteValue(TValueType::vaNull);
}

void TDCWriter::WriteRawByte(std::uint8_t Value) {
  fData.append(static_cast<char>(Value));
}

void TDCWriter::WritePropName(const QString& Name) {
  const QByteArray Utf8 = Name.toUtf8().left(255);
  WriteLittleEndian(static_cast<std::uint32_t>(Utf8.size()), 1);
  fData.append(Utf8);
}

QByteArray TDCReader::ReadBytes(qsizetype Count) {
  if (Count < 0 || Count > fData.size() - fPos) throw EReadError(kStreamReadError);
  QByteArray Bytes = fData.mid(fPos, Count);
  fPos += Count;
  return Bytes;
}

std::uint32_t TDCReader::ReadLittleEndian(int Bytes) {
  const QByteArray Raw = ReadBytes(Bytes);
  std::uint32_t Value = 0;
  for (int i = 0; i < Bytes; ++i)
    Value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(Raw[i])) << (8 * i);
  return Value;
}

TValueType TDCReader::ReadValue() {
  return static_cast<TValueType>(ReadLittleEndian(1));
}

std::int32_t TDCReader::ReadInteger() {
  switch (ReadValue()) {
    case TValueType::vaInt8:
      return static_cast<std::int8_t>(ReadLittleEndian(1));
    case TValueType::vaInt16:
      return static_cast<std::int16_t>(ReadLittleEndian(2));
    case TValueType::vaInt32:
      return static_cast<std::int32_t>(ReadLittleEndian(4));
    default:
      throw EReadError(kInvalidValue);
  }
}

QString TDCReader::ReadString() {
  qsizetype Length = 0;
  switch (ReadValue()) {
    case TValueType::vaString:
      Length = ReadLittleEndian(1);
      break;
    case TValueType::vaLString:
      Length = ReadLittleEndian(4);
      break;
    default:
      throw EReadError(kInvalidValue);
  }
  return QString::fromUtf8(ReadBytes(Length));
}

void TDCReader::ReadListBegin() {
  if (ReadValue() != TValueType::vaList) throw EReadError(kInvalidValue);
}

void TDCReader::ReadListEnd() {
  if (ReadValue() != TValueType::vaNull) throw EReadError(kInvalidValue);
}

bool TDCReader::EndOfList() const {
  if (AtEnd()) throw EReadError(kStreamReadError);
  return static_cast<TValueType>(fData[fPos]) == TValueType::vaNull;
}

std::uint8_t TDCReader::ReadRawByte() {
  return static_cast<std::uint8_t>(ReadLittleEndian(1));
}

QString TDCReader::ReadPropName() {
  const auto Length = static_cast<qsizetype>(ReadLittleEndian(1));
  return QString::fromUtf8(ReadBytes(Length));
}

}  // namespace vemo
