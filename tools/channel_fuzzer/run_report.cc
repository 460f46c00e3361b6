#include "tools/channel_fuzzer/run_report.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <utility>

#include "platform/flutter/flutter_faults.h"
#include "tools/channel_fuzzer/hex.h"

namespace channel_fuzzer {

void RunReport::sending(const std::string& channel, const std::string& method, const Bytes& bytes) {
  recent_.push_back(channel + " " + method + " (" + std::to_string(bytes.size()) + " bytes) " +
                    hex(bytes, 48));
  if (recent_.size() > kRecent) recent_.pop_front();
  ++counts_[channel].sent;
  ++total_;
}

void RunReport::answered(const std::string& channel, const ReadAnswer& answer) {
  if (answer.outcome == Outcome::success || answer.outcome == Outcome::failed) {
    ++counts_[channel].reached;
  }
}

void RunReport::addFinding(Finding finding, bool showRecent) {
  std::fprintf(stderr, "channel_fuzzer: FINDING: %s: channel '%s', method '%s', bytes %s\n",
               finding.kind.c_str(), finding.channel.c_str(), finding.method.c_str(),
               hex(finding.bytes).c_str());
  if (showRecent) {
    std::fprintf(stderr, "channel_fuzzer: the messages sent last, the newest last:\n");
    for (const auto& line : recent_) std::fprintf(stderr, "  %s\n", line.c_str());
  }
  findings_.push_back(std::move(finding));
}

void RunReport::collectFaults(const std::string& channel, const std::string& method,
                              const Bytes& bytes) {
  for (const auto& fault : flutter::takeFaults()) {
    if (fault.find("answered twice") != std::string::npos) {
      addFinding({"answered twice: " + fault, channel, method, bytes});
    } else if (other_faults_.size() < 20) {
      other_faults_.push_back(fault);
    }
  }
}

int RunReport::print(const RunSummary& summary) const {
  size_t fewest = SIZE_MAX, most = 0, reached = 0, reaching_channels = 0;
  // Channels of objects made at run time are counted together: "...play.<id>".
  std::map<std::string, ChannelCounts> by_name;
  for (const auto& [channel, counts] : counts_) {
    fewest = std::min(fewest, counts.sent);
    most = std::max(most, counts.sent);
    reached += counts.reached;
    if (counts.reached > 0) ++reaching_channels;
    static const std::regex kObjectId(
        "([0-9]+|[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12})$");
    ChannelCounts& total = by_name[std::regex_replace(channel, kObjectId, "<id>")];
    total.sent += counts.sent;
    total.reached += counts.reached;
  }
  std::printf("channel_fuzzer: messages per channel (sent, reached the plug-in's work):\n");
  for (const auto& [name, counts] : by_name) {
    std::printf("  %7zu %7zu  %s\n", counts.sent, counts.reached, name.c_str());
  }
  std::printf(
      "channel_fuzzer: seed %llu, %zu channels, %zu messages in %.1f s; per channel %zu to %zu; "
      "%zu reached the plug-ins' work, on %zu channels\n",
      static_cast<unsigned long long>(summary.seed), counts_.size(), total_, summary.seconds,
      counts_.empty() ? 0 : fewest, most, reached, reaching_channels);
  std::vector<std::pair<double, std::string>> slowest;
  for (const auto& [channel, counts] : counts_) slowest.emplace_back(counts.seconds, channel);
  std::sort(slowest.rbegin(), slowest.rend());
  for (size_t i = 0; i < slowest.size() && i < 5; ++i) {
    std::printf("  slowest: %s %.1f s\n", slowest[i].second.c_str(), slowest[i].first);
  }
  if (summary.heard != nullptr) {
    for (const auto& [channel, count] : *summary.heard) {
      std::printf("  %7zu host calls to the Dart side on %s\n", count, channel.c_str());
    }
  }
  std::printf("channel_fuzzer: %zu host calls to the Dart side answered late on purpose\n",
              summary.answered_late);
  if (summary.pending.answered_in_time > 0) {
    std::printf(
        "channel_fuzzer: %zu scripts answered in time, the slowest after %.1f s; the closest "
        "came %.1f s before it was due\n",
        summary.pending.answered_in_time, summary.pending.slowest, summary.pending.closest_to_due);
  }
  for (const auto& fault : other_faults_) {
    std::printf("  channel fault (not fatal): %s\n", fault.c_str());
  }
  for (const auto& finding : findings_) {
    std::printf("FINDING: %s: channel '%s', method '%s', bytes %s\n", finding.kind.c_str(),
                finding.channel.c_str(), finding.method.c_str(), hex(finding.bytes).c_str());
  }
  std::printf("%zu passed, %zu failed\n", total_ - std::min(total_, findings_.size()),
              findings_.size());
  std::fflush(stdout);
  return findings_.empty() ? 0 : 1;
}

}  // namespace channel_fuzzer
