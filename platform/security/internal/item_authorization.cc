#include "platform/security/internal/item_authorization.h"

#include "platform/security/internal/sec_access_control_access.h"

namespace security::internal {
namespace {

constexpr SecAccessControlCreateFlags kBiometry =
    kSecAccessControlBiometryAny | kSecAccessControlBiometryCurrentSet;

LAPolicy policyFor(SecAccessControlCreateFlags flags) {
  // Biometry alone may not fall back to the passcode.
  bool biometry_only =
      (flags & kRequirementFlags) != 0 && (flags & kRequirementFlags & ~kBiometry) == 0;
  return biometry_only ? LAPolicyDeviceOwnerAuthenticationWithBiometrics
                       : LAPolicyDeviceOwnerAuthentication;
}

OSStatus statusFor(std::optional<LAError> error) {
  if (error == LAError::userCancel) return errSecUserCanceled;
  if (error == LAError::notInteractive) return errSecInteractionNotAllowed;
  return errSecAuthFailed;
}

}  // namespace

bool ItemAuthorization::evaluateWithoutInteraction(LAPolicy policy) {
  if (!query_.context) return false;
  // A copy shares the context's remembered success without letting it prompt.
  LAContext probe(*query_.context);
  probe.setInteractionNotAllowed(true);
  bool succeeded = false;
  probe.evaluatePolicy(policy, query_.operationPrompt,
                       [&](bool success, std::optional<LAError>) { succeeded = success; });
  return succeeded;
}

ItemAuthorization::Outcome ItemAuthorization::authorizeDataRead(const KeychainItem& item,
                                                                OSStatus* status) {
  if (!item.accessControl || (item.accessControl->flags() & kRequirementFlags) == 0 || approved_) {
    return Outcome::granted;
  }
  LAPolicy policy = policyFor(item.accessControl->flags());
  if (query_.authenticationUI != AuthenticationUIMode::allow) {
    if (evaluateWithoutInteraction(policy)) {
      approved_ = true;
      return Outcome::granted;
    }
    if (query_.authenticationUI == AuthenticationUIMode::skip) return Outcome::skipped;
    *status = errSecInteractionNotAllowed;
    return Outcome::failed;
  }
  std::shared_ptr<LAContext> context = query_.context;
  if (!context) {
    if (!own_context_) own_context_ = std::make_shared<LAContext>();
    context = own_context_;
  }
  std::optional<LAError> failure;
  bool succeeded = false;
  context->evaluatePolicy(policy, query_.operationPrompt,
                          [&](bool success, std::optional<LAError> error) {
                            succeeded = success;
                            failure = error;
                          });
  if (!succeeded) {
    *status = statusFor(failure);
    return Outcome::failed;
  }
  approved_ = true;
  return Outcome::granted;
}

}  // namespace security::internal
