#include "platform/flutter/flutter_standard_codec.h"

#include <algorithm>
#include <cstring>

#include "platform/flutter/streamed_value.h"
#include "platform/foundation/utf8.h"

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

namespace {
// A plug-in's own value is wrapped (a record, an object reference) on top of what it reads.
constexpr size_t kCustomValueCost = sizeof(Value);

size_t allocationBudget(size_t messageSize) {
  if (messageSize > (SIZE_MAX - kFlutterDecodeAllocationAllowance) / kFlutterDecodeAllocationPerByte) {
    return SIZE_MAX;
  }
  return kFlutterDecodeAllocationAllowance + messageSize * kFlutterDecodeAllocationPerByte;
}

// Restores the reader's depth when a value has been read.
class DepthScope {
 public:
  explicit DepthScope(int& depth) : depth_(depth) {
    if (depth_ >= kFlutterMaxNestingDepth) throw FlutterCodecError("Message is nested too deeply");
    ++depth_;
  }
  ~DepthScope() { --depth_; }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;

 private:
  int& depth_;
};

template <typename T>
void writeTypedData(FlutterStandardWriter& writer, uint8_t type, const std::vector<T>& values,
                    uint8_t alignment) {
  writer.writeByte(type);
  if (values.size() > UINT32_MAX) throw FlutterCodecError("Typed data too large to encode");
  writer.writeSize(static_cast<uint32_t>(values.size()));
  if (alignment > 1) writer.writeAlignment(alignment);
  writer.writeBytes(values.data(), values.size() * sizeof(T));
}

// Most text on channels is ASCII, which is valid UTF-8: checked a word at a time.
bool isAscii(std::string_view text) {
  const char* bytes = text.data();
  size_t left = text.size();
  uint64_t high_bits = 0;
  for (; left >= 8; bytes += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    high_bits |= word;
  }
  for (; left > 0; ++bytes, --left) high_bits |= static_cast<uint8_t>(*bytes);
  return (high_bits & 0x8080808080808080ull) == 0;
}

bool isValidText(std::string_view text) { return isAscii(text) || foundation::isValidUtf8(text); }

// Reads the next value where it is converted to one, so that a container's element is built in
// its place rather than moved there.
struct NextValue {
  FlutterStandardReader& reader;
  operator Value() const { return reader.readValue(); }
};

uint32_t checkedSize(size_t size) {
  if (size > UINT32_MAX) throw FlutterCodecError("Container too large to encode");
  return static_cast<uint32_t>(size);
}
}  // namespace

// Writer

void FlutterStandardWriter::writeByte(uint8_t value) {
  makeRoom(1);
  data_.push_back(value);
}

void FlutterStandardWriter::writeBytes(const void* bytes, size_t length) {
  if (length == 0) return;
  makeRoom(length);
  const auto* begin = static_cast<const uint8_t*>(bytes);
  data_.insert(data_.end(), begin, begin + length);
}

// A large write leaves room for what follows it (the fields after a large value), so that the
// buffer is not grown, and all of it copied again, for a few bytes more.
void FlutterStandardWriter::makeRoom(size_t length) {
  constexpr size_t kLargeWrite = 64 * 1024;
  constexpr size_t kRoomAfterLargeWrite = 64 * 1024;
  const size_t needed = data_.size() + length;
  if (needed <= data_.capacity()) return;
  size_t capacity = std::max(needed, 2 * data_.capacity());
  if (length >= kLargeWrite) capacity = std::max(capacity, needed + kRoomAfterLargeWrite);
  data_.reserve(capacity);
}

void FlutterStandardWriter::writeSize(uint32_t size) {
  if (size < 254) {
    writeByte(static_cast<uint8_t>(size));
  } else if (size <= 0xFFFF) {
    writeByte(254);
    uint16_t value = static_cast<uint16_t>(size);
    writeBytes(&value, sizeof value);
  } else {
    writeByte(255);
    writeBytes(&size, sizeof size);
  }
}

void FlutterStandardWriter::writeAlignment(uint8_t alignment) {
  size_t remainder = data_.size() % alignment;
  if (remainder == 0) return;
  makeRoom(alignment - remainder);
  data_.insert(data_.end(), alignment - remainder, 0);
}

void FlutterStandardWriter::writeUTF8(std::string_view text) {
  // A Dart side cannot decode it: the answer or event that holds it fails instead.
  if (!isValidText(text)) throw FlutterCodecError("Text to send is not valid UTF-8");
  writeSize(checkedSize(text.size()));
  writeBytes(text.data(), text.size());
}

void FlutterStandardWriter::writeValue(const Value& value) {
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          writeByte(FlutterStandardFieldNil);
        } else if constexpr (std::is_same_v<T, bool>) {
          writeByte(v ? FlutterStandardFieldTrue : FlutterStandardFieldFalse);
        } else if constexpr (std::is_same_v<T, int32_t>) {
          writeByte(FlutterStandardFieldInt32);
          writeBytes(&v, sizeof v);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          writeByte(FlutterStandardFieldInt64);
          writeBytes(&v, sizeof v);
        } else if constexpr (std::is_same_v<T, double>) {
          writeByte(FlutterStandardFieldFloat64);
          writeAlignment(8);
          writeBytes(&v, sizeof v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          writeByte(FlutterStandardFieldString);
          writeUTF8(v);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          writeTypedData(*this, FlutterStandardFieldUInt8Data, v, 1);
        } else if constexpr (std::is_same_v<T, std::vector<int32_t>>) {
          writeTypedData(*this, FlutterStandardFieldInt32Data, v, 4);
        } else if constexpr (std::is_same_v<T, std::vector<int64_t>>) {
          writeTypedData(*this, FlutterStandardFieldInt64Data, v, 8);
        } else if constexpr (std::is_same_v<T, std::vector<float>>) {
          writeTypedData(*this, FlutterStandardFieldFloat32Data, v, 4);
        } else if constexpr (std::is_same_v<T, std::vector<double>>) {
          writeTypedData(*this, FlutterStandardFieldFloat64Data, v, 8);
        } else if constexpr (std::is_same_v<T, ValueList>) {
          writeByte(FlutterStandardFieldList);
          writeSize(checkedSize(v.size()));
          for (const auto& item : v) writeValue(item);
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          writeByte(FlutterStandardFieldMap);
          writeSize(checkedSize(v.size()));
          for (const auto& [key, item] : v) {
            writeValue(key);
            writeValue(item);
          }
        } else if (auto streamed = std::dynamic_pointer_cast<const flutter::StreamedValue>(v)) {
          streamed->writeTo(*this);
        } else {
          throw FlutterCodecError("Unsupported value for the standard codec: " +
                                  (v ? v->typeName() : std::string("null custom value")));
        }
      },
      value.storage());
}

size_t flutterEncodedSizeHint(const Value& value) {
  // A type byte, the largest size field and the largest alignment.
  constexpr size_t kHead = 1 + 5 + 7;
  return std::visit(
      [](const auto& v) -> size_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return kHead + v.size();
        } else if constexpr (std::is_same_v<T, ValueList>) {
          size_t size = kHead;
          for (const auto& item : v) size += flutterEncodedSizeHint(item);
          return size;
        } else if constexpr (std::is_same_v<T, ValueMap>) {
          size_t size = kHead;
          for (const auto& [key, item] : v) {
            size += flutterEncodedSizeHint(key) + flutterEncodedSizeHint(item);
          }
          return size;
        } else if constexpr (std::is_same_v<T, std::shared_ptr<const flutter::CustomValue>>) {
          auto streamed = std::dynamic_pointer_cast<const flutter::StreamedValue>(v);
          return streamed ? streamed->encodedSizeHint() : kHead + 16;
        } else if constexpr (requires { v.data(); }) {
          return kHead + v.size() * sizeof(*v.data());
        } else {
          return kHead + 8;
        }
      },
      value.storage());
}

// Reader

FlutterStandardReader::FlutterStandardReader(std::span<const uint8_t> data)
    : data_(data), allocation_left_(allocationBudget(data.size())) {}

void FlutterStandardReader::chargeAllocation(size_t bytes) {
  if (bytes > allocation_left_) {
    throw FlutterCodecError("Message would take more memory to decode than its size allows");
  }
  allocation_left_ -= bytes;
}

void FlutterStandardReader::require(size_t length) const {
  if (length > data_.size() - position_) throw FlutterCodecError("Message is truncated");
}

uint8_t FlutterStandardReader::readByte() {
  require(1);
  return data_[position_++];
}

void FlutterStandardReader::readBytes(void* destination, size_t length) {
  require(length);
  if (length > 0) std::memcpy(destination, data_.data() + position_, length);
  position_ += length;
}

template <typename T>
T FlutterStandardReader::readFixed() {
  require(sizeof(T));
  T value;
  std::memcpy(&value, data_.data() + position_, sizeof value);
  position_ += sizeof value;
  return value;
}

uint32_t FlutterStandardReader::readSize() {
  uint8_t first = readByte();
  if (first < 254) return first;
  if (first == 254) return readFixed<uint16_t>();
  return readFixed<uint32_t>();
}

void FlutterStandardReader::readAlignment(uint8_t alignment) {
  size_t remainder = position_ % alignment;
  if (remainder != 0) {
    require(alignment - remainder);
    position_ += alignment - remainder;
  }
}

std::string FlutterStandardReader::readUTF8() {
  uint32_t length = readSize();
  require(length);
  chargeAllocation(length);
  std::string_view text(reinterpret_cast<const char*>(data_.data() + position_), length);
  // Checked in place, so that bad text costs no allocation.
  if (!isValidText(text)) throw FlutterCodecError("String is not valid UTF-8");
  position_ += length;
  return std::string(text);
}

template <typename T>
std::vector<T> FlutterStandardReader::readTypedData(uint8_t alignment) {
  uint32_t count = readSize();
  if (alignment > 1) readAlignment(alignment);
  if (count > (data_.size() - position_) / sizeof(T)) throw FlutterCodecError("Message is truncated");
  chargeAllocation(count * sizeof(T));
  std::vector<T> values(count);
  readBytes(values.data(), count * sizeof(T));
  return values;
}

Value FlutterStandardReader::readValue() {
  DepthScope scope(depth_);
  uint8_t type = readByte();
  if (type >= 128) chargeAllocation(kCustomValueCost);
  return readValueOfType(type);
}

Value FlutterStandardReader::readValueOfType(uint8_t type) {
  switch (type) {
    case FlutterStandardFieldNil:
      return Value();
    case FlutterStandardFieldTrue:
      return Value(true);
    case FlutterStandardFieldFalse:
      return Value(false);
    case FlutterStandardFieldInt32:
      return Value(readFixed<int32_t>());
    case FlutterStandardFieldInt64:
      return Value(readFixed<int64_t>());
    case FlutterStandardFieldIntHex:
      return Value(readUTF8());
    case FlutterStandardFieldFloat64:
      readAlignment(8);
      return Value(readFixed<double>());
    case FlutterStandardFieldString:
      return Value(readUTF8());
    case FlutterStandardFieldUInt8Data:
      return Value(readTypedData<uint8_t>(1));
    case FlutterStandardFieldInt32Data:
      return Value(readTypedData<int32_t>(4));
    case FlutterStandardFieldInt64Data:
      return Value(readTypedData<int64_t>(8));
    case FlutterStandardFieldFloat64Data:
      return Value(readTypedData<double>(8));
    case FlutterStandardFieldFloat32Data:
      return Value(readTypedData<float>(4));
    case FlutterStandardFieldList:
    case FlutterStandardFieldMap: {
      uint32_t count = readSize();
      // Every element takes at least one byte, so a larger count cannot be honest.
      size_t per_entry = type == FlutterStandardFieldMap ? 2 : 1;
      if (count > (data_.size() - position_) / per_entry) {
        throw FlutterCodecError("Message is truncated");
      }
      if (type == FlutterStandardFieldList) {
        chargeAllocation(size_t{count} * sizeof(Value));
        ValueList list;
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i) list.emplace_back(NextValue{*this});
        return Value(std::move(list));
      }
      chargeAllocation(size_t{count} * sizeof(ValueMap::Entry));
      ValueMap map;
      map.reserve(count);
      for (uint32_t i = 0; i < count; ++i) {
        Value key = readValue();
        map.appendBuilt(std::move(key), NextValue{*this});
      }
      return Value(std::move(map));
    }
    default:
      throw FlutterCodecError("Unknown type byte " + std::to_string(type) + " in message");
  }
}

// Reader-writer

std::unique_ptr<FlutterStandardWriter> FlutterStandardReaderWriter::writerWithData(
    FlutterBytes& data) const {
  return std::make_unique<FlutterStandardWriter>(data);
}

std::unique_ptr<FlutterStandardReader> FlutterStandardReaderWriter::readerWithData(
    std::span<const uint8_t> data) const {
  return std::make_unique<FlutterStandardReader>(data);
}

// Message codec

const std::shared_ptr<const FlutterStandardMessageCodec>& FlutterStandardMessageCodec::sharedInstance() {
  static const auto* const codec = new std::shared_ptr<const FlutterStandardMessageCodec>(
      std::make_shared<FlutterStandardMessageCodec>());
  return *codec;
}

FlutterStandardMessageCodec::FlutterStandardMessageCodec(
    std::shared_ptr<const FlutterStandardReaderWriter> readerWriter)
    : reader_writer_(std::move(readerWriter)) {}

FlutterBytes FlutterStandardMessageCodec::encode(const Value& message) const {
  FlutterBytes data;
  data.reserve(flutterEncodedSizeHint(message));
  reader_writer_->writerWithData(data)->writeValue(message);
  return data;
}

Value FlutterStandardMessageCodec::decode(std::span<const uint8_t> message) const {
  if (message.empty()) return Value();
  auto reader = reader_writer_->readerWithData(message);
  Value value = reader->readValue();
  if (reader->hasMore()) throw FlutterCodecError("Message has trailing bytes");
  return value;
}

// Method codec

const std::shared_ptr<const FlutterStandardMethodCodec>& FlutterStandardMethodCodec::sharedInstance() {
  static const auto* const codec = new std::shared_ptr<const FlutterStandardMethodCodec>(
      std::make_shared<FlutterStandardMethodCodec>());
  return *codec;
}

FlutterStandardMethodCodec::FlutterStandardMethodCodec(
    std::shared_ptr<const FlutterStandardReaderWriter> readerWriter)
    : reader_writer_(std::move(readerWriter)) {}

FlutterBytes FlutterStandardMethodCodec::encodeMethodCall(const FlutterMethodCall& call) const {
  FlutterBytes data;
  data.reserve(1 + 5 + call.method.size() + flutterEncodedSizeHint(call.arguments));
  auto writer = reader_writer_->writerWithData(data);
  writer->writeValue(Value(call.method));
  writer->writeValue(call.arguments);
  return data;
}

FlutterMethodCall FlutterStandardMethodCodec::decodeMethodCall(
    std::span<const uint8_t> message) const {
  auto reader = reader_writer_->readerWithData(message);
  Value method = reader->readValue();
  Value arguments = reader->readValue();
  if (!method.is<std::string>() || reader->hasMore()) {
    throw FlutterCodecError("Method call is malformed");
  }
  return FlutterMethodCall{method.get<std::string>(), std::move(arguments)};
}

FlutterBytes FlutterStandardMethodCodec::encodeSuccessEnvelope(const Value& result) const {
  FlutterBytes data;
  data.reserve(1 + flutterEncodedSizeHint(result));
  auto writer = reader_writer_->writerWithData(data);
  writer->writeByte(0);
  writer->writeValue(result);
  return data;
}

FlutterBytes FlutterStandardMethodCodec::encodeErrorEnvelope(const FlutterError& error) const {
  FlutterBytes data;
  data.reserve(64 + error.code.size() + error.message.value_or("").size() +
               flutterEncodedSizeHint(error.details));
  auto writer = reader_writer_->writerWithData(data);
  writer->writeByte(1);
  writer->writeValue(Value(error.code));
  writer->writeValue(error.message ? Value(*error.message) : Value());
  writer->writeValue(error.details);
  return data;
}

FlutterEnvelope FlutterStandardMethodCodec::decodeEnvelope(std::span<const uint8_t> envelope) const {
  auto reader = reader_writer_->readerWithData(envelope);
  uint8_t flag = reader->readByte();
  if (flag == 0) {
    Value result = reader->readValue();
    if (reader->hasMore()) throw FlutterCodecError("Envelope has trailing bytes");
    return result;
  }
  if (flag != 1) throw FlutterCodecError("Envelope is malformed");
  Value code = reader->readValue();
  Value message = reader->readValue();
  Value details = reader->readValue();
  // The Dart side may append a stack trace to an error envelope.
  if (reader->hasMore()) reader->readValue();
  if (!code.is<std::string>() || !(message.isNull() || message.is<std::string>()) ||
      reader->hasMore()) {
    throw FlutterCodecError("Error envelope is malformed");
  }
  FlutterError error{code.get<std::string>(), std::nullopt, std::move(details)};
  if (auto* text = message.asString()) error.message = *text;
  return error;
}
