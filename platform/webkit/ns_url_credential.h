// A credential for an authentication challenge: a user and password, kept for as long as its
// persistence says.
#pragma once

#include <string>

#include "platform/webkit/ns_object.h"

namespace foundation {

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

  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  NSURLCredentialPersistence persistence() const { return persistence_; }

 private:
  std::string user_;
  std::string password_;
  NSURLCredentialPersistence persistence_;
};

}  // namespace foundation
