// The vCard 3.0 card of one personal entry, as `telbook export --vcard` writes it.
#ifndef TELBOOK_TOOLS_EXPORT_VCARD_H_
#define TELBOOK_TOOLS_EXPORT_VCARD_H_

#include <string>

#include "telbook.h"

namespace telbook {
namespace tool {

// UTF-8, CR LF line ends, long lines folded; the family name from the first part of the name.
std::string VcardOf(const TL_Kojin& entry);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_EXPORT_VCARD_H_
