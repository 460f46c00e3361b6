#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"

#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"

namespace wkwebview_host {

flutter::Value WebKitLibraryPigeonCodecReader::readValueOfType(uint8_t type) {
  const PigeonEnumerationInfo* enumeration = enumerationForTag(type);
  if (enumeration == nullptr) return FlutterStandardReader::readValueOfType(type);
  flutter::Value raw = readValue();
  if (raw.isNull()) return flutter::Value();
  std::optional<int64_t> integer = raw.asInteger();
  if (!integer) {
    throw FlutterCodecError("The value of " + std::string(enumeration->name) +
                            " is not an integer");
  }
  return enumerationValue(type, *integer);
}

void WebKitLibraryPigeonCodecWriter::writeValue(const flutter::Value& value) {
  if (auto enumeration = value.asCustom<EnumerationValue>()) {
    writeByte(enumeration->tag());
    FlutterStandardWriter::writeValue(flutter::Value(enumeration->raw()));
    return;
  }
  FlutterStandardWriter::writeValue(value);
}

std::unique_ptr<FlutterStandardWriter> WebKitLibraryPigeonCodecReaderWriter::writerWithData(
    FlutterBytes& data) const {
  return std::make_unique<WebKitLibraryPigeonCodecWriter>(data);
}

std::unique_ptr<FlutterStandardReader> WebKitLibraryPigeonCodecReaderWriter::readerWithData(
    std::span<const uint8_t> data) const {
  return std::make_unique<WebKitLibraryPigeonCodecReader>(data);
}

const std::shared_ptr<const FlutterStandardMessageCodec>&
WebKitLibraryPigeonCodec::sharedInstance() {
  static const auto* const codec = new std::shared_ptr<const FlutterStandardMessageCodec>(
      std::make_shared<FlutterStandardMessageCodec>(
          std::make_shared<WebKitLibraryPigeonCodecReaderWriter>()));
  return *codec;
}

}  // namespace wkwebview_host
