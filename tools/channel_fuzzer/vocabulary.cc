#include "tools/channel_fuzzer/vocabulary.h"

#include <map>

namespace channel_fuzzer {
namespace {

const PluginVocabulary* findVocabulary(const std::string& channel) {
  // A message channel names its package: "dev.flutter.pigeon.<package>.<Api>.<operation>".
  static const std::string kPigeon = "dev.flutter.pigeon.";
  if (channel.rfind(kPigeon, 0) == 0) {
    std::string package =
        channel.substr(kPigeon.size(), channel.find('.', kPigeon.size()) - kPigeon.size());
    for (const auto& vocabulary : pluginVocabularies()) {
      if (vocabulary.plugin == package) return &vocabulary;
    }
  }
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
  return best;
}

// Kept per channel: every message asks.
const PluginVocabulary* vocabularyForChannel(const std::string& channel) {
  static auto* const known = new std::map<std::string, const PluginVocabulary*>();
  auto found = known->find(channel);
  if (found != known->end()) return found->second;
  return (*known)[channel] = findVocabulary(channel);
}

}  // namespace

std::string pluginForChannel(const std::string& channel) {
  const PluginVocabulary* vocabulary = vocabularyForChannel(channel);
  return vocabulary != nullptr ? vocabulary->plugin : std::string();
}

const std::vector<std::string>& wordsForChannel(const std::string& channel) {
  if (const PluginVocabulary* vocabulary = vocabularyForChannel(channel)) {
    return vocabulary->words;
  }
  static const auto* const all = [] {
    auto* words = new std::vector<std::string>();
    for (const auto& vocabulary : pluginVocabularies()) {
      words->insert(words->end(), vocabulary.words.begin(), vocabulary.words.end());
    }
    return words;
  }();
  return *all;
}

}  // namespace channel_fuzzer
