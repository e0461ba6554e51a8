#include "engine/index_links.h"

#include <cctype>
#include <mutex>
#include <utility>
#include <vector>

namespace velorin {

namespace {

struct Family {
  std::string extension;  // upper case, with its dot
  IndexFileOpener opener;
};

std::vector<Family>& Families() {
  static std::vector<Family> families;
  return families;
}

std::mutex& FamiliesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace

void RegisterIndexFamily(std::string_view extension, IndexFileOpener opener) {
  std::lock_guard<std::mutex> lock(FamiliesMutex());
  std::string key = Upper(extension);
  for (Family& family : Families()) {
    if (family.extension == key) {
      family.opener = opener;
      return;
    }
  }
  Families().push_back({key, opener});
}

IndexFileOpener IndexFamilyOpener(std::string_view extension) {
  std::lock_guard<std::mutex> lock(FamiliesMutex());
  std::string key = Upper(extension);
  for (const Family& family : Families()) {
    if (family.extension == key) return family.opener;
  }
  return nullptr;
}

}  // namespace velorin
