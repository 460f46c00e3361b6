// Why an authentication did not succeed.
#pragma once

enum class LAError : long {
  authenticationFailed = -1,
  userCancel = -2,
  passcodeNotSet = -5,
  biometryNotAvailable = -6,
  notInteractive = -1004,
};
