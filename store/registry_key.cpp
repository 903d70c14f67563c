#include "store/registry_key.h"

namespace {

RegistryBackend* installedBackend = nullptr;

}  // namespace

RegistryBackend* SetRegistryBackend(RegistryBackend* backend) {
  RegistryBackend* previous = installedBackend;
  installedBackend = backend;
  return previous;
}

RegistryBackend* CurrentRegistryBackend() { return installedBackend; }
