// The object store's file loading under arbitrary bytes: the input becomes a store file that
// is opened, every type's objects read in order and the stored queries and identifier lists
// loaded. Damaged files must raise the file exception, never crash or hang.
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "datalib/store/pyx_engine.h"
#include "platform/mfc/cfileexception.h"
#include "platform/mfc/cmemoryexception.h"

namespace {

const std::string& StorePath() {
  static const std::string path = [] {
    const char* base = getenv("TMPDIR");
    std::string dir = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/store-fuzz-XXXXXX";
    if (mkdtemp(dir.data()) == nullptr) abort();
    return dir + "/fuzz.qld";
  }();
  return path;
}

void Exercise(vaultkit::pyx::PyxStore& store) {
  using namespace vaultkit::pyx;
  for (LONG type : store.Types()) {
    const auto& attributes = store.Attributes(type);
    LONG order = attributes.empty() ? -1 : attributes.back().number;
    PyxSelect* select = attributes.empty() ? nullptr : new PyxLongSelect(attributes.front().number, 1, 3);
    std::unique_ptr<PyxIDList> list(store.Evaluate(PyxQuery(type, select, order, false)));
    std::vector<COleVariant> row;
    for (size_t i = 0; i < list->mIds.size() && i < 64; ++i) store.Read(type, list->mIds[i], &row);
  }
  delete store.LoadQuery("q");
  delete store.LoadIDList("l");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = StorePath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  unlink((path + "-journal").c_str());
  try {
    vaultkit::pyx::PyxStore store(path, false, false);
    Exercise(store);
  } catch (CFileException* e) {
    e->Delete();
  } catch (CMemoryException* e) {
    e->Delete();
  }
  return 0;
}
