#include "plugins/playlist_audio/concatenating_audio_source.h"

#include "platform/foundation/ns_log.h"
#include "plugins/playlist_audio/audio_arguments.h"
#include "plugins/playlist_audio/audio_player_exception.h"

namespace playlist_audio {

ConcatenatingAudioSource::ConcatenatingAudioSource(
    std::string sourceId, std::vector<std::shared_ptr<AudioSource>> children,
    std::vector<int> shuffleOrder, bool lazyLoading)
    : CompositeAudioSource(std::move(sourceId), std::move(children)),
      shuffle_order_(std::move(shuffleOrder)) {
  setLazyLoading(lazyLoading);
}

void ConcatenatingAudioSource::insertSource(std::shared_ptr<AudioSource> source, int index) {
  if (index < 0 || index > count()) throw AudioPlayerException("insertion outside the children");
  children_.insert(children_.begin() + index, std::move(source));
}

void ConcatenatingAudioSource::removeSourcesFromIndex(int from, int to) {
  if (to == -1) to = count();
  if (from < 0 || from > count() || to < 0 || to > count()) {
    throw AudioPlayerException("range outside the children");
  }
  if (to - from <= 0) return;
  children_.erase(children_.begin() + from, children_.begin() + to);
}

void ConcatenatingAudioSource::moveSourceFromIndex(int from, int to) {
  if (from < 0 || from >= count() || to < 0 || to >= count()) {
    throw AudioPlayerException("move outside the children");
  }
  auto moved = children_[from];
  children_.erase(children_.begin() + from);
  children_.insert(children_.begin() + to, std::move(moved));
}

std::vector<int> ConcatenatingAudioSource::getShuffleIndices() const {
  auto shifted = shiftedShuffleIndices();
  std::vector<int> result;
  for (int entry : shuffle_order_) {
    // An order that names no child contributes nothing for that entry; the player then finds
    // the result is no permutation and plays unshuffled.
    if (entry < 0 || entry >= count()) continue;
    result.insert(result.end(), shifted[entry].begin(), shifted[entry].end());
  }
  return result;
}

void ConcatenatingAudioSource::walkShuffleOrders(const flutter::Value& message,
                                                 ShuffleOrderPass pass) {
  auto order = readShuffleOrder(message.find("shuffleOrder"));
  if (pass == ShuffleOrderPass::check && !isPermutation(order, count())) {
    throw AudioPlayerException("shuffle order");
  }
  if (pass == ShuffleOrderPass::take) shuffle_order_ = std::move(order);
  const auto* children = message.find("children");
  const auto* list = children != nullptr ? children->asList() : nullptr;
  if (list == nullptr || list->size() != children_.size()) {
    if (pass == ShuffleOrderPass::take) {
      NSLog("decodeShuffleOrder Concatenating children don't match");
    }
    return;
  }
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->walkShuffleOrders((*list)[i], pass);
}

}  // namespace playlist_audio
