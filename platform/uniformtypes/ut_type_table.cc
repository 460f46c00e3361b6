#include "platform/uniformtypes/ut_type_table.h"

namespace uniformtypes {

const std::vector<TypeRecord>& typeTable() {
  static const std::vector<TypeRecord> table = {
      {"public.item", {}, {}, {}},
      {"public.content", {}, {}, {}},
      {"public.data", {"public.item"}, {}, {"application/octet-stream"}},
      {"public.directory", {"public.item"}, {}, {}},
      {"public.folder", {"public.directory"}, {}, {}},
      {"public.composite-content", {"public.content"}, {}, {}},
      {"public.text", {"public.data", "public.content"}, {}, {}},
      {"public.plain-text", {"public.text"}, {"txt", "text"}, {"text/plain"}},
      {"public.html", {"public.text"}, {"html", "htm"}, {"text/html"}},
      {"public.json", {"public.text"}, {"json"}, {"application/json"}},
      {"public.comma-separated-values-text", {"public.text"}, {"csv"}, {"text/csv"}},
      {"public.image", {"public.data", "public.content"}, {}, {}},
      {"public.png", {"public.image"}, {"png"}, {"image/png"}},
      {"public.jpeg", {"public.image"}, {"jpeg", "jpg"}, {"image/jpeg"}},
      {"com.compuserve.gif", {"public.image"}, {"gif"}, {"image/gif"}},
      {"com.microsoft.bmp", {"public.image"}, {"bmp"}, {"image/bmp"}},
      {"org.webmproject.webp", {"public.image"}, {"webp"}, {"image/webp"}},
      {"public.heic", {"public.image"}, {"heic"}, {"image/heic"}},
      {"public.tiff", {"public.image"}, {"tiff", "tif"}, {"image/tiff"}},
      {"public.svg-image", {"public.image"}, {"svg"}, {"image/svg+xml"}},
      {"public.audiovisual-content", {"public.data", "public.content"}, {}, {}},
      {"public.movie", {"public.audiovisual-content"}, {}, {}},
      {"public.video", {"public.movie"}, {}, {}},
      {"public.audio", {"public.audiovisual-content"}, {}, {}},
      {"public.mpeg-4", {"public.movie"}, {"mp4"}, {"video/mp4"}},
      {"com.apple.quicktime-movie", {"public.movie"}, {"mov"}, {"video/quicktime"}},
      {"public.avi", {"public.movie"}, {"avi"}, {"video/x-msvideo"}},
      {"public.mpeg", {"public.movie"}, {"mpeg", "mpg"}, {"video/mpeg"}},
      {"org.webmproject.webm", {"public.movie"}, {"webm"}, {"video/webm"}},
      {"org.matroska.mkv", {"public.movie"}, {"mkv"}, {"video/x-matroska"}},
      {"com.adobe.flash.video", {"public.movie"}, {"flv"}, {"video/x-flv"}},
      {"com.microsoft.windows-media-wmv", {"public.movie"}, {"wmv"}, {"video/x-ms-wmv"}},
      {"public.mp3", {"public.audio"}, {"mp3"}, {"audio/mpeg"}},
      {"com.microsoft.waveform-audio", {"public.audio"}, {"wav"}, {"audio/wav"}},
      {"public.aac-audio", {"public.audio"}, {"aac"}, {"audio/aac"}},
      {"com.apple.m4a-audio", {"public.audio"}, {"m4a"}, {"audio/x-m4a"}},
      {"org.xiph.flac", {"public.audio"}, {"flac"}, {"audio/flac"}},
      {"org.xiph.ogg-audio", {"public.audio"}, {"ogg"}, {"audio/ogg"}},
      {"public.midi-audio", {"public.audio"}, {"midi", "mid"}, {"audio/midi"}},
      {"com.adobe.pdf", {"public.data", "public.composite-content"}, {"pdf"},
       {"application/pdf"}},
      {"public.zip-archive", {"public.data"}, {"zip"}, {"application/zip"}},
  };
  return table;
}

const TypeRecord* findType(std::string_view identifier) {
  for (const auto& record : typeTable()) {
    if (record.identifier == identifier) return &record;
  }
  return nullptr;
}

}  // namespace uniformtypes
