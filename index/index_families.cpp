#include "index/index_families.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "engine/index_links.h"
#include "expr/expression_filter.h"
#include "index/vr6_cdx.h"
#include "index/vr6_mdx.h"
#include "index/vr6_ndx.h"
#include "index/vr6_ntx.h"

namespace velorin {

namespace {

// Opens an existing index file of the family File; nullptr when it cannot be opened.
template <class File>
std::unique_ptr<IndexFileLink> OpenExisting(VRO_dBHandler& table, const std::string& fullName) {
  auto file = std::make_unique<File>(&table, fullName, false, false);
  if (!file->OpenedSuccessfully()) return nullptr;
  return file;
}

}  // namespace

void InstallIndexFamilies() {
  RegisterIndexFamily(".CDX", &OpenExisting<VRobjCDXFile>);
  RegisterIndexFamily(".MDX", &OpenExisting<VRobjMDXFile>);
  RegisterIndexFamily(".NDX", &OpenExisting<VRobjNDXFile>);
  RegisterIndexFamily(".NTX", &OpenExisting<VRobjNTXFile>);
  InstallExpressionFilter();
}

std::unique_ptr<VRobjIndexFile> CreateIndexFile(VRO_dBHandler& table, const std::string& path) {
  std::string extension = path.substr(std::min(path.rfind('.'), path.size()));
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  // Single-order files are made new; the multi-tag ones are opened when they exist.
  if (extension == ".NDX") return std::make_unique<VRobjNDXFile>(&table, path, true, true);
  if (extension == ".NTX") return std::make_unique<VRobjNTXFile>(&table, path, true, true);
  if (extension == ".CDX") return std::make_unique<VRobjCDXFile>(&table, path, false, true);
  if (extension == ".MDX") return std::make_unique<VRobjMDXFile>(&table, path, false, true);
  RaiseEngineMessage("Index file type not available - " + path);
}

}  // namespace velorin
