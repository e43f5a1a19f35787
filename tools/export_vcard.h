// The vCard 3.0 card of one personal entry, as `telbook export --vcard` writes it.
#ifndef TELBOOK_TOOLS_EXPORT_VCARD_H_
#define TELBOOK_TOOLS_EXPORT_VCARD_H_

#include <string>

#include "telbook.h"

namespace telbook {
namespace tool {

// UTF-8, CR LF line ends, long lines folded. N holds the name's parts family name first, in the
// order of the reading (a Latin name written given name first is turned).
std::string VcardOf(const TL_Kojin& entry);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_EXPORT_VCARD_H_
