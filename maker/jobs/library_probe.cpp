// The start-up check that the reader and decoder libraries are present.
#include "common/library_loader.h"
#include "maker/jobs/job_pipeline.h"

LibraryProbeResult ProbeOutsideLibrary(const std::string& library, const char* entry) {
  OutsideLibrary lib = OutsideLibrary::Open(library);
  if (!lib.Loaded()) return {false, lib.LoadError()};
  if (entry != nullptr && lib.Symbol(entry) == nullptr)
    return {false, lib.Path() + " has no entry " + entry};
  return true;
}
