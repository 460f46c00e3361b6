// The queue players alive in the process, so that the test controls can reach the players that
// the code under test created. Addresses are kept disguised, as AVCensus keeps them.
#pragma once

#include <memory>
#include <vector>

class AVQueuePlayer;

class AVPlayerCensus {
 public:
  static AVPlayerCensus& shared();

  void add(AVQueuePlayer* player);
  void remove(AVQueuePlayer* player);
  // The live players in the order they were made.
  std::vector<std::shared_ptr<AVQueuePlayer>> players() const;
};
