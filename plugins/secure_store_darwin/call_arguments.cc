#include "plugins/secure_store_darwin/call_arguments.h"

#include <algorithm>

namespace secure_store_darwin {
namespace {

constexpr double kAuthenticationReuseSeconds = 30;

bool hasOnlyStringKeys(const flutter::ValueMap& map) {
  return std::all_of(map.begin(), map.end(),
                     [](const auto& entry) { return entry.first.asString() != nullptr; });
}

std::optional<std::string> stringEntry(const flutter::ValueMap& map, const char* key) {
  const flutter::Value* value = map.find(std::string_view(key));
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

// "true" and "false"; any other text counts as absent.
std::optional<bool> booleanOption(const flutter::ValueMap& options, const char* key) {
  auto text = stringEntry(options, key);
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

KeychainQueryParameters parametersFrom(const flutter::ValueMap& options) {
  KeychainQueryParameters parameters;
  parameters.accessGroup = stringEntry(options, "groupId");
  parameters.service = stringEntry(options, "accountName");
  parameters.isSynchronizable = booleanOption(options, "synchronizable");
  parameters.accessibilityLevel = stringEntry(options, "accessibility");
  // Only an explicit "false" leaves the data-protection keychain.
  parameters.usesDataProtectionKeychain =
      stringEntry(options, "usesDataProtectionKeychain") != "false";
  parameters.itemLabel = stringEntry(options, "label");
  parameters.itemDescription = stringEntry(options, "description");
  parameters.itemComment = stringEntry(options, "comment");
  parameters.isHidden = booleanOption(options, "isHidden");
  parameters.isPlaceholder = booleanOption(options, "isPlaceholder");
  parameters.shouldReturnPersistentReference = booleanOption(options, "persistentReference");
  parameters.authenticationUIBehavior = stringEntry(options, "authenticationUIBehavior");
  parameters.accessControlFlags = stringEntry(options, "accessControlFlags");
  parameters.useSecureEnclave = booleanOption(options, "useSecureEnclave");
  return parameters;
}

}  // namespace

std::variant<CallArguments, FlutterError> parseCallArguments(const FlutterMethodCall& call) {
  const flutter::ValueMap* arguments = call.arguments.asMap();
  if (arguments == nullptr || !hasOnlyStringKeys(*arguments)) {
    return FlutterError{kInvalidArgumentsCode,
                        call.method + " requires its arguments as a map with string keys", nullptr};
  }
  const flutter::Value* options_value = arguments->find(std::string_view(kOptionsArgument));
  const flutter::ValueMap* options = options_value != nullptr ? options_value->asMap() : nullptr;
  CallArguments parsed{
      parametersFrom(options != nullptr && hasOnlyStringKeys(*options) ? *options
                                                                       : flutter::ValueMap()),
      stringEntry(*arguments, kValueArgument)};
  parsed.parameters.key = stringEntry(*arguments, kKeyArgument);
  parsed.parameters.shouldReturnData = true;
  if (parsed.parameters.sealed()) {
    auto context = std::make_shared<LAContext>();
    context->setTouchIDAuthenticationAllowableReuseDuration(kAuthenticationReuseSeconds);
    parsed.parameters.authenticationContext = std::move(context);
  }
  return parsed;
}

}  // namespace secure_store_darwin
