// The start-up check that the reader and decoder libraries are present.
#include "common/library_loader.h"
#include "maker/jobs/job_pipeline.h"

bool ProbeOutsideLibrary(const std::string& library, const char* entry) {
  OutsideLibrary lib = OutsideLibrary::Open(library);
  if (!lib.Loaded()) return false;
  return entry == nullptr || lib.Symbol(entry) != nullptr;
}
