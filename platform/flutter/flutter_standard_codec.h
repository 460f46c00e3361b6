// The standard message and method codecs, byte-exact with the engine's wire format.
//
// A plug-in codec extends them by subclassing the reader and the writer (`readValueOfType`,
// `writeValue`) for its type bytes from 128 up, and handing a reader-writer to the codec.
// The reader treats its input as hostile: every read is bounds-checked, sizes are checked against
// the bytes left before anything is allocated, strings must be valid UTF-8, one nesting budget
// covers every value read (lists, maps and a plug-in's own types alike) and what a decode may
// allocate is bounded by the size of the message. The writer refuses text that is not UTF-8.
#pragma once

#include <memory>

#include "platform/flutter/flutter_codec.h"

enum FlutterStandardField : uint8_t {
  FlutterStandardFieldNil = 0,
  FlutterStandardFieldTrue = 1,
  FlutterStandardFieldFalse = 2,
  FlutterStandardFieldInt32 = 3,
  FlutterStandardFieldInt64 = 4,
  FlutterStandardFieldIntHex = 5,
  FlutterStandardFieldFloat64 = 6,
  FlutterStandardFieldString = 7,
  FlutterStandardFieldUInt8Data = 8,
  FlutterStandardFieldInt32Data = 9,
  FlutterStandardFieldInt64Data = 10,
  FlutterStandardFieldFloat64Data = 11,
  FlutterStandardFieldList = 12,
  FlutterStandardFieldMap = 13,
  FlutterStandardFieldFloat32Data = 14,
};

class FlutterStandardWriter {
 public:
  explicit FlutterStandardWriter(FlutterBytes& data) : data_(data) {}
  virtual ~FlutterStandardWriter() = default;

  void writeByte(uint8_t value);
  void writeBytes(const void* bytes, size_t length);
  void writeSize(uint32_t size);
  void writeAlignment(uint8_t alignment);
  void writeUTF8(std::string_view text);
  // Makes room for `length` more bytes that are about to be written, so that a value that knows
  // its size is written without the buffer growing under it.
  void reserve(size_t length) { makeRoom(length); }
  // Writes a value with its type byte; override to add a plug-in's own types.
  virtual void writeValue(const flutter::Value& value);

 protected:
  FlutterBytes& data() { return data_; }

 private:
  // Grows the buffer for `length` more bytes, if it must.
  void makeRoom(size_t length);

  FlutterBytes& data_;
};

// Values nested deeper than this (a top-level value is at depth 1) make a message malformed.
inline constexpr int kFlutterMaxNestingDepth = 256;
// What one decode may allocate for its values: this many bytes per byte of the message, plus
// kFlutterDecodeAllocationAllowance. Past it the message is malformed.
//
// A decode is charged what it really builds: one Value for each element of a list (two for a map
// entry, whose key and value take a type byte each), the bytes of text and typed data, and one
// Value for the wrapper of a plug-in's own value (charged to the type byte of what it wraps).
// Each byte of a message thus costs at most one Value, so the budget refuses no honest message;
// it refuses containers that claim, between them, more elements than the message holds, before
// they are allocated.
inline constexpr size_t kFlutterDecodeAllocationPerByte = sizeof(flutter::Value);
inline constexpr size_t kFlutterDecodeAllocationAllowance = size_t{1} << 20;

// The most bytes the standard encoding of `value` takes (a plug-in's own values counted as small,
// a StreamedValue as it says), so that a message's buffer is made large enough before it is
// written: growing it while a large value is written would copy what was written before.
size_t flutterEncodedSizeHint(const flutter::Value& value);

class FlutterStandardReader {
 public:
  explicit FlutterStandardReader(std::span<const uint8_t> data);
  virtual ~FlutterStandardReader() = default;

  bool hasMore() const { return position_ < data_.size(); }
  size_t position() const { return position_; }
  uint8_t readByte();
  void readBytes(void* destination, size_t length);
  uint32_t readSize();
  void readAlignment(uint8_t alignment);
  std::string readUTF8();
  // Reads a type byte and the value that follows it, within the nesting budget. Plug-in readers
  // read the values inside their own types through this, so those count as nesting too.
  flutter::Value readValue();
  // Reads the value of a type whose byte has been read; override to add a plug-in's own types.
  virtual flutter::Value readValueOfType(uint8_t type);
  // Counts `bytes` against the decode's allocation budget before they are allocated.
  void chargeAllocation(size_t bytes);

 private:
  void require(size_t length) const;
  // A number of a size known here, so that the copy compiles to a load.
  template <typename T>
  T readFixed();
  template <typename T>
  std::vector<T> readTypedData(uint8_t alignment);

  std::span<const uint8_t> data_;
  size_t position_ = 0;
  int depth_ = 0;
  size_t allocation_left_;
};

class FlutterStandardReaderWriter {
 public:
  virtual ~FlutterStandardReaderWriter() = default;
  virtual std::unique_ptr<FlutterStandardWriter> writerWithData(FlutterBytes& data) const;
  virtual std::unique_ptr<FlutterStandardReader> readerWithData(std::span<const uint8_t> data) const;
};

class FlutterStandardMessageCodec : public FlutterMessageCodec {
 public:
  static const std::shared_ptr<const FlutterStandardMessageCodec>& sharedInstance();
  explicit FlutterStandardMessageCodec(
      std::shared_ptr<const FlutterStandardReaderWriter> readerWriter =
          std::make_shared<FlutterStandardReaderWriter>());

  FlutterBytes encode(const flutter::Value& message) const override;
  flutter::Value decode(std::span<const uint8_t> message) const override;

 private:
  std::shared_ptr<const FlutterStandardReaderWriter> reader_writer_;
};

class FlutterStandardMethodCodec : public FlutterMethodCodec {
 public:
  static const std::shared_ptr<const FlutterStandardMethodCodec>& sharedInstance();
  explicit FlutterStandardMethodCodec(
      std::shared_ptr<const FlutterStandardReaderWriter> readerWriter =
          std::make_shared<FlutterStandardReaderWriter>());

  FlutterBytes encodeMethodCall(const FlutterMethodCall& call) const override;
  FlutterMethodCall decodeMethodCall(std::span<const uint8_t> message) const override;
  FlutterBytes encodeSuccessEnvelope(const flutter::Value& result) const override;
  FlutterBytes encodeErrorEnvelope(const FlutterError& error) const override;
  FlutterEnvelope decodeEnvelope(std::span<const uint8_t> envelope) const override;

 private:
  std::shared_ptr<const FlutterStandardReaderWriter> reader_writer_;
};
