// The Env new sessions are built with, replaceable by tests.
#include <atomic>

#include "platform/env.h"

namespace telbook {

namespace {
std::atomic<Env*> g_session_env{nullptr};
}  // namespace

Env* SessionEnv() {
  Env* env = g_session_env.load();
  return env != nullptr ? env : Env::Default();
}

void SetSessionEnv(Env* env) { g_session_env.store(env); }

}  // namespace telbook
