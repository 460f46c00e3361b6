// The codec of the enumerations: the standard codec plus type bytes 129 to 143. The instance
// manager's channels use its one shared instance; the proxy codec extends its reader and writer.
#pragma once

#include <memory>

#include "platform/flutter/flutter_standard_codec.h"

namespace wkwebview_host {

class WebKitLibraryPigeonCodecReader : public FlutterStandardReader {
 public:
  using FlutterStandardReader::FlutterStandardReader;
  // A case of an enumeration, or null for a raw value outside its cases. Anything but an
  // integer or null after an enumeration's type byte makes the message malformed.
  flutter::Value readValueOfType(uint8_t type) override;
};

class WebKitLibraryPigeonCodecWriter : public FlutterStandardWriter {
 public:
  using FlutterStandardWriter::FlutterStandardWriter;
  // An enumeration case as its type byte and its raw value.
  void writeValue(const flutter::Value& value) override;
};

class WebKitLibraryPigeonCodecReaderWriter : public FlutterStandardReaderWriter {
 public:
  std::unique_ptr<FlutterStandardWriter> writerWithData(FlutterBytes& data) const override;
  std::unique_ptr<FlutterStandardReader> readerWithData(
      std::span<const uint8_t> data) const override;
};

class WebKitLibraryPigeonCodec {
 public:
  // Made on first use and kept for the life of the process.
  static const std::shared_ptr<const FlutterStandardMessageCodec>& sharedInstance();
};

}  // namespace wkwebview_host
