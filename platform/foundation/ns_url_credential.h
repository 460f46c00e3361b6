// A credential for an authentication challenge: a user and password, kept for as long as its
// persistence says, or the acceptance of a server's trust.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/ns_object.h"

class SecTrust;

enum NSURLCredentialPersistence : uint64_t {
  NSURLCredentialPersistenceNone = 0,
  NSURLCredentialPersistenceForSession = 1,
  NSURLCredentialPersistencePermanent = 2,
  NSURLCredentialPersistenceSynchronizable = 3,
};

class NSURLCredential : public NSObject {
 public:
  NSURLCredential(std::string user, std::string password, NSURLCredentialPersistence persistence)
      : user_(std::move(user)), password_(std::move(password)), persistence_(persistence) {}
  // Accepts the server's trust, for this session only; it has no user and no password.
  explicit NSURLCredential(std::shared_ptr<SecTrust> trust)
      : persistence_(NSURLCredentialPersistenceForSession), server_trust_(std::move(trust)) {}

  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  NSURLCredentialPersistence persistence() const { return persistence_; }
  // The trust accepted by a server-trust credential; null for a user's credential.
  const std::shared_ptr<SecTrust>& serverTrust() const { return server_trust_; }

 private:
  std::string user_;
  std::string password_;
  NSURLCredentialPersistence persistence_;
  std::shared_ptr<SecTrust> server_trust_;
};

