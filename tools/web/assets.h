// The pages, styles and scripts of the web editor, compiled into the tool from tools/web/assets/.
#ifndef TELBOOK_TOOLS_WEB_ASSETS_H_
#define TELBOOK_TOOLS_WEB_ASSETS_H_

#include <cstddef>

namespace telbook {
namespace web {

struct Asset {
  const char* path;  // as requested, e.g. "/app.js"
  const char* content_type;
  const unsigned char* data;
  size_t size;
};

// The asset served at path, nullptr when there is none.
const Asset* FindAsset(const char* path);

}  // namespace web
}  // namespace telbook

#endif  // TELBOOK_TOOLS_WEB_ASSETS_H_
