// What an authentication must prove.
#pragma once

enum LAPolicy : long {
  // Biometry only.
  LAPolicyDeviceOwnerAuthenticationWithBiometrics = 1,
  // Biometry, a watch or the device passcode.
  LAPolicyDeviceOwnerAuthentication = 2,
};
