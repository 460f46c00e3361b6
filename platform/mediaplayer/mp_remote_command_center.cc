#include "platform/mediaplayer/mp_remote_command_center.h"

std::shared_ptr<MPRemoteCommandCenter> MPRemoteCommandCenter::sharedCommandCenter() {
  // Never destroyed: the commands are the process's, for as long as it runs.
  static auto* const center =
      new std::shared_ptr<MPRemoteCommandCenter>(new MPRemoteCommandCenter());
  return *center;
}
