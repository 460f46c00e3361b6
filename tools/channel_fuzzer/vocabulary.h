// The words each plug-in uses on its channels (harvested from its sources at build time), and the
// choice of a channel's words.
#pragma once

#include <string>
#include <vector>

namespace channel_fuzzer {

struct PluginVocabulary {
  std::string plugin;
  std::vector<std::string> words;
};

const std::vector<PluginVocabulary>& pluginVocabularies();

// The plug-in that names `channel` (exactly, or by the longest prefix for channels made at run
// time); empty when none does.
std::string pluginForChannel(const std::string& channel);
// The words of that plug-in; every plug-in's words when none names the channel.
const std::vector<std::string>& wordsForChannel(const std::string& channel);

}  // namespace channel_fuzzer
