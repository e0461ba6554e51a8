#include "index/index_families.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "engine/index_links.h"
#include "expr/expression_filter.h"
#include "index/vr6_ndx.h"
#include "index/vr6_ntx.h"

namespace velorin {

namespace {

std::unique_ptr<IndexFileLink> OpenNdx(VRO_dBHandler& table, const std::string& fullName) {
  auto file = std::make_unique<VRobjNDXFile>(&table, fullName, false, false);
  if (!file->OpenedSuccessfully()) return nullptr;
  return file;
}

std::unique_ptr<IndexFileLink> OpenNtx(VRO_dBHandler& table, const std::string& fullName) {
  auto file = std::make_unique<VRobjNTXFile>(&table, fullName, false, false);
  if (!file->OpenedSuccessfully()) return nullptr;
  return file;
}

}  // namespace

void InstallIndexFamilies() {
  RegisterIndexFamily(".NDX", &OpenNdx);
  RegisterIndexFamily(".NTX", &OpenNtx);
  InstallExpressionFilter();
}

std::unique_ptr<VRobjIndexFile> CreateIndexFile(VRO_dBHandler& table, const std::string& path) {
  std::string extension = path.substr(std::min(path.rfind('.'), path.size()));
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (extension == ".NDX") return std::make_unique<VRobjNDXFile>(&table, path, true, true);
  if (extension == ".NTX") return std::make_unique<VRobjNTXFile>(&table, path, true, true);
  RaiseEngineMessage("Index file type not available - " + path);
}

}  // namespace velorin
