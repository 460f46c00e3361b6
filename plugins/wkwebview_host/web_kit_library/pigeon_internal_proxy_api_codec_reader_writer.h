// The proxy codec: the enumeration codec plus type byte 128, a reference to an object of the
// instance manager by its identifier.
//
// Reading turns a reference into the live object, or into null (with a log line) when the
// instance manager holds nothing under the identifier. Writing a native object first announces it
// to the Dart side when the Dart side does not know it, then writes its reference; announcements
// are encoded with the same codec, so those of the objects an object refers to go out first. A
// value that cannot be written is logged and written as null, so that lists and maps keep their
// counts.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/ns_object.h"

#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"

namespace wkwebview_host {

class WebKitLibraryPigeonProxyApiRegistrar;

inline constexpr uint8_t kInstanceReferenceTag = 128;

class WebKitLibraryPigeonInternalProxyApiCodecReaderWriter : public FlutterStandardReaderWriter {
 public:
  // The registrar is not owned: it owns its codec.
  explicit WebKitLibraryPigeonInternalProxyApiCodecReaderWriter(
      std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> pigeonRegistrar)
      : pigeon_registrar_(std::move(pigeonRegistrar)) {}

  std::unique_ptr<FlutterStandardWriter> writerWithData(FlutterBytes& data) const override;
  std::unique_ptr<FlutterStandardReader> readerWithData(
      std::span<const uint8_t> data) const override;

  class WebKitLibraryPigeonInternalProxyApiCodecReader final
      : public WebKitLibraryPigeonCodecReader {
   public:
    WebKitLibraryPigeonInternalProxyApiCodecReader(
        std::span<const uint8_t> data,
        std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> pigeonRegistrar)
        : WebKitLibraryPigeonCodecReader(data), pigeon_registrar_(std::move(pigeonRegistrar)) {}

    flutter::Value readValueOfType(uint8_t type) override;

   private:
    std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> pigeon_registrar_;
  };

  class WebKitLibraryPigeonInternalProxyApiCodecWriter final
      : public WebKitLibraryPigeonCodecWriter {
   public:
    WebKitLibraryPigeonInternalProxyApiCodecWriter(
        FlutterBytes& data, std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> pigeonRegistrar)
        : WebKitLibraryPigeonCodecWriter(data), pigeon_registrar_(std::move(pigeonRegistrar)) {}

    void writeValue(const flutter::Value& value) override;

   private:
    void writeObject(const std::shared_ptr<NSObject>& object);
    void writeUnsupported(const std::string& description, const std::string& typeName);

    std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> pigeon_registrar_;
  };

 private:
  std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar> pigeon_registrar_;
};

}  // namespace wkwebview_host
