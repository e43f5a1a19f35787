// Favourite category names through the library: the five 16-byte places of a phone book.
#ifndef TELBOOK_TOOLS_FAVOURITES_H_
#define TELBOOK_TOOLS_FAVOURITES_H_

#include <string>
#include <vector>

namespace telbook {
namespace tool {

class Book;

constexpr int kFavouriteCount = 5;
constexpr int kFavouriteNameSize = 16;

// The five names as UTF-8 (empty when unnamed); throws ToolError when the library refuses.
std::vector<std::string> ReadFavouriteNames(const Book& book);
// Renames category k (1 to 5); throws ToolError for a name the place cannot hold as given (a
// space or control character, which would end it early, more than 16 bytes, or a character code
// page 932 lacks). The change is in the session until the book is saved.
void WriteFavouriteName(const Book& book, int k, const std::string& utf8);

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_FAVOURITES_H_
