// Building, wiring and tearing down the session object, and the steps that span its layers.
// Pointers among components are set here once and never change.
#include "interface/session.h"

#include <new>

namespace telbook {

Session::Session(Env* env)
    : store(env),
      writers_lock(&store),
      export_driver(&store),
      opener(&store),
      closer(&store),
      working_copy(&store),
      writer(&store),
      deleter(&store),
      text_writer(&store),
      group_reader(&store),
      tab_browser(&store),
      enumerator(&store),
      settings(&store),
      accessor(&store) {
  opener.Wire(&accessor);
  working_copy.Wire(&Session::IndexReloaded, this);
  export_driver.Wire(&converter, &text_writer);
  closer.Wire(&working_copy, &writers_lock, &save_conversion);
  writer.Wire(&working_copy);
  deleter.Wire(&working_copy, &writer);
  enumerator.Wire(&tab_browser);
  group_reader.favourites.Wire(&working_copy);
}

void Session::IndexReloaded(void* session) {
  static_cast<Session*>(session)->tab_browser.RebuildOtherClass();
}

short Session::CreateDataBase(const char* path) {
  short status = opener.Create(path);
  if (status == kOk) tab_browser.RebuildOtherClass();
  return status;
}

short Session::OpenDataBase(const char* path) {
  short status = opener.Open(path);
  if (status == kOk) tab_browser.RebuildOtherClass();
  return status;
}

short Session::OpenToChange(const char* path, uint32_t wait_ms) {
  if (store.is_open()) return kFailed;
  if (writers_lock.Hold(path, wait_ms, category::kDataBase) != kOk) return kFailed;
  short status = OpenDataBase(path);
  if (status != kOk) writers_lock.Release();
  return status;
}

Session* Session::Create(Env* env) {
  void* block = env->AllocBlock(sizeof(Session));
  if (block == nullptr) return nullptr;
  return new (block) Session(env);
}

void Session::Destroy(Session* session) {
  if (session == nullptr) return;
  if (session->store.is_open()) session->closer.Close(/*discard=*/1);
  Env* env = session->store.env();
  session->~Session();
  env->FreeBlock(session);
}

}  // namespace telbook
