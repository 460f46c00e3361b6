#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_trust.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiSecTrust::hostOperations() {
  using Api = PigeonApiSecTrust;
  return {operation("evaluateWithError", &Api::evaluateWithError),
          operation("copyExceptions", &Api::copyExceptions),
          operation("setExceptions", &Api::setExceptions),
          operation("getTrustResult", &Api::getTrustResult),
          operation("copyCertificateChain", &Api::copyCertificateChain)};
}

void PigeonApiSecTrust::evaluateWithError(const PigeonArguments& arguments,
                                          const PigeonHostReply& reply) {
  pigeon_delegate_->evaluateWithError(
      *this, arguments.instance<SecTrustWrapper>(0),
      [reply](const PigeonApiDelegateSecTrust::Evaluation& evaluation) {
        if (const auto* error = std::get_if<PigeonError>(&evaluation)) {
          reply.failure(*error);
        } else {
          reply.success(flutter::Value(std::get<bool>(evaluation)));
        }
      });
}

void PigeonApiSecTrust::copyExceptions(const PigeonArguments& arguments,
                                       const PigeonHostReply& reply) {
  auto exceptions =
      pigeon_delegate_->copyExceptions(*this, *arguments.instance<SecTrustWrapper>(0));
  reply.success(exceptions ? flutter::Value(std::move(*exceptions)) : flutter::Value());
}

void PigeonApiSecTrust::setExceptions(const PigeonArguments& arguments,
                                      const PigeonHostReply& reply) {
  auto trust = arguments.instance<SecTrustWrapper>(0);
  auto exceptions = arguments.optionalBytes(1);
  reply.success(flutter::Value(pigeon_delegate_->setExceptions(*this, *trust, exceptions)));
}

void PigeonApiSecTrust::getTrustResult(const PigeonArguments& arguments,
                                       const PigeonHostReply& reply) {
  reply.success(objectValue(
      pigeon_delegate_->getTrustResult(*this, *arguments.instance<SecTrustWrapper>(0))));
}

void PigeonApiSecTrust::copyCertificateChain(const PigeonArguments& arguments,
                                             const PigeonHostReply& reply) {
  auto chain =
      pigeon_delegate_->copyCertificateChain(*this, *arguments.instance<SecTrustWrapper>(0));
  if (!chain) {
    reply.success();
    return;
  }
  flutter::ValueList certificates;
  for (auto& certificate : *chain) certificates.push_back(objectValue(std::move(certificate)));
  reply.success(flutter::Value(std::move(certificates)));
}

}  // namespace wkwebview_host
