#include "tools/channel_fuzzer/vocabulary.h"

namespace channel_fuzzer {

std::vector<std::string> wordsForChannel(const std::string& channel) {
  const PluginVocabulary* best = nullptr;
  size_t best_length = 0;
  for (const auto& vocabulary : pluginVocabularies()) {
    for (const auto& word : vocabulary.words) {
      // A word of fewer than 8 characters names no channel of its own.
      if (word.size() < 8 || word.size() <= best_length) continue;
      if (channel.compare(0, word.size(), word) == 0) {
        best = &vocabulary;
        best_length = word.size();
      }
    }
  }
  if (best != nullptr) return best->words;
  std::vector<std::string> all;
  for (const auto& vocabulary : pluginVocabularies()) {
    all.insert(all.end(), vocabulary.words.begin(), vocabulary.words.end());
  }
  return all;
}

}  // namespace channel_fuzzer
