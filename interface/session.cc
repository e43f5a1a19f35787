// Building, wiring and tearing down the session object.
// Pointers among components are set here once and never change.
#include "interface/session.h"

#include <new>

namespace telbook {

Session::Session(Env* env)
    : store(env),
      export_driver(&store),
      opener(&store),
      closer(&store),
      converter(&store),
      writer(&store),
      text_writer(&store),
      group_reader(&store),
      tab_browser(&store),
      enumerator(&store),
      settings(&store),
      accessor(&store) {
  opener.Wire(&tab_browser, &accessor);
  export_driver.Wire(&converter, &text_writer);
  closer.Wire(&converter, &writer);
  writer.Wire(&tab_browser);
  enumerator.Wire(&tab_browser);
  group_reader.favourites.Wire(&writer);
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
