// The forms of the web editor as JSON: an entry's fields, a group, a favourite name, and the
// room each text takes in code page 932. Every value is checked before the book is touched; a
// bad one throws FormError naming its field.
#ifndef TELBOOK_TOOLS_WEB_FORMS_H_
#define TELBOOK_TOOLS_WEB_FORMS_H_

#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "telbook.h"

namespace telbook {
namespace web {

class FormError : public std::runtime_error {
 public:
  FormError(std::string field, const std::string& message)
      : std::runtime_error(message), field_(std::move(field)) {}
  const std::string& field() const { return field_; }

 private:
  std::string field_;
};

// The fields a page may fill, with their room in bytes: {"entry": [{"key", "room"}...],
// "group": [...], "favourite": room}.
nlohmann::json FieldRooms();

// Applies the fields present in j to *entry: every text field of the tool by its key, and
// "line-type", "favourite", "comm-mode", "relay-output". Unknown keys are refused.
void ApplyEntryForm(const nlohmann::json& j, TL_Kojin* entry);

struct GroupForm {
  TL_Group group{};
  std::vector<unsigned short> members;  // as given; the caller checks that each is an entry
};
// {"name", "furigana", "favourite", "members": [numbers]} over base (the group as it is, or an
// empty one): fields not given keep base's values, except that a new group needs a name.
// Members must be distinct entry numbers.
GroupForm ParseGroupForm(const nlohmann::json& j, const TL_Group& base);

// {"texts": [[key, text]...]} with keys of FieldRooms (entry keys, "group-name",
// "group-furigana", "favourite-name"): for each, {"key", "bytes", "room", "bad"}, "bad" naming
// the first character code page 932 cannot hold ("" when none).
nlohmann::json Measure(const nlohmann::json& j);

// A record number list of a query ("1,5,9-12"); throws FormError(what) on anything else.
std::vector<unsigned short> ParseNumberList(const std::string& text, const std::string& what);

}  // namespace web
}  // namespace telbook

#endif  // TELBOOK_TOOLS_WEB_FORMS_H_
