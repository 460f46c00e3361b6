#include "plugins/playlist_audio/audio_source_decoder.h"

#include <map>
#include <string>

#include "plugins/playlist_audio/audio_arguments.h"
#include "plugins/playlist_audio/audio_player_exception.h"
#include "plugins/playlist_audio/clipping_audio_source.h"
#include "plugins/playlist_audio/concatenating_audio_source.h"
#include "plugins/playlist_audio/looping_audio_source.h"
#include "plugins/playlist_audio/media_time.h"
#include "plugins/playlist_audio/uri_audio_source.h"

namespace playlist_audio {
namespace {

using Decode = std::shared_ptr<AudioSource> (AudioSourceDecoder::*)(const flutter::Value&) const;

std::optional<HttpHeaders> readHeaders(const flutter::Value* value) {
  if (value == nullptr || value->isNull()) return std::nullopt;
  const auto* map = value->asMap();
  if (map == nullptr) throw AudioPlayerException("headers must be a map");
  HttpHeaders headers;
  for (const auto& [name, field] : *map) {
    if (!name.asString() || !field.asString()) throw AudioPlayerException("headers must be text");
    headers[*name.asString()] = *field.asString();
  }
  return headers;
}

// Microseconds, or `ifNull` for the null value.
CMTime readTime(const AudioArguments& arguments, std::string_view key, CMTime ifNull) {
  auto microseconds = arguments.integerOrNull(key);
  return microseconds ? timeFromMicroseconds(*microseconds) : ifNull;
}

}  // namespace

bool isUriSourceType(std::string_view type) {
  return type == "progressive" || type == "dash" || type == "hls";
}

std::shared_ptr<AudioSource> AudioSourceDecoder::decodeAudioSource(
    const flutter::Value& map) const {
  static const std::map<std::string, Decode, std::less<>> kDecoders = {
      {"progressive", &AudioSourceDecoder::decodeUri},
      {"dash", &AudioSourceDecoder::decodeUri},
      {"hls", &AudioSourceDecoder::decodeUri},
      {"concatenating", &AudioSourceDecoder::decodeConcatenating},
      {"clipping", &AudioSourceDecoder::decodeClipping},
      {"looping", &AudioSourceDecoder::decodeLooping},
  };
  const auto* type = map.find("type");
  if (type == nullptr || type->asString() == nullptr) return nullptr;
  auto found = kDecoders.find(*type->asString());
  return found == kDecoders.end() ? nullptr : (this->*found->second)(map);
}

std::vector<std::shared_ptr<AudioSource>> AudioSourceDecoder::decodeAudioSources(
    const flutter::ValueList& maps) const {
  std::vector<std::shared_ptr<AudioSource>> sources;
  for (const auto& map : maps) sources.push_back(decodeKnownSource(map));
  return sources;
}

std::shared_ptr<AudioSource> AudioSourceDecoder::decodeKnownSource(
    const flutter::Value& map) const {
  auto source = decodeAudioSource(map);
  if (!source) throw AudioPlayerException("unknown audio source type");
  return source;
}

std::shared_ptr<AudioSource> AudioSourceDecoder::decodeUri(const flutter::Value& map) const {
  AudioArguments arguments(map);
  const auto* options = arguments.entry("options");
  return UriAudioSource::create(arguments.string("id"), arguments.string("uri"), load_control_,
                                readHeaders(arguments.entry("headers")),
                                options != nullptr ? *options : flutter::Value());
}

std::shared_ptr<AudioSource> AudioSourceDecoder::decodeConcatenating(
    const flutter::Value& map) const {
  AudioArguments arguments(map);
  auto children = decodeAudioSources(arguments.list("children"));
  auto order = readShuffleOrder(arguments.entry("shuffleOrder"));
  if (!isPermutation(order, static_cast<int>(children.size()))) {
    throw AudioPlayerException("shuffle order must be a permutation of the children");
  }
  return std::make_shared<ConcatenatingAudioSource>(arguments.string("id"), std::move(children),
                                                    std::move(order),
                                                    arguments.boolean("useLazyPreparation"));
}

std::shared_ptr<AudioSource> AudioSourceDecoder::decodeClipping(const flutter::Value& map) const {
  AudioArguments arguments(map);
  const auto* childMap = arguments.entry("child");
  auto child = std::dynamic_pointer_cast<UriAudioSource>(
      childMap != nullptr ? decodeAudioSource(*childMap) : nullptr);
  if (!child) throw AudioPlayerException("a clip's child must be a URI source");
  return std::make_shared<ClippingAudioSource>(arguments.string("id"), std::move(child),
                                               readTime(arguments, "start", kCMTimeZero),
                                               readTime(arguments, "end", kCMTimeInvalid));
}

std::shared_ptr<AudioSource> AudioSourceDecoder::decodeLooping(const flutter::Value& map) const {
  AudioArguments arguments(map);
  int64_t count = arguments.integer("count");
  if (count > kMaxLoopCount) throw AudioPlayerException("too many loop copies");
  const flutter::Value none;
  const auto* childMap = arguments.entry("child");
  std::vector<std::shared_ptr<AudioSource>> copies;
  for (int64_t i = 0; i < count; ++i) {
    copies.push_back(decodeKnownSource(childMap != nullptr ? *childMap : none));
  }
  return std::make_shared<LoopingAudioSource>(arguments.string("id"), std::move(copies));
}

}  // namespace playlist_audio
