#include "engine/services/error_report.h"

#include <cstdio>
#include <exception>

#include "engine/objects/dispatch_interface.h"
#include "engine/services/errors.h"

namespace NUV {
namespace {

void ReportToStandardError(const tNUVString& message) {
  std::string narrow = message.AsStdString();
  std::fprintf(stderr, "%s\n", narrow.c_str());
  std::fflush(stderr);
}

tNUVErrorReporter Reporter = ReportToStandardError;

}  // namespace

tNUVErrorReporter NUVSetErrorReporter(tNUVErrorReporter reporter) {
  tNUVErrorReporter old = Reporter;
  Reporter = reporter ? reporter : ReportToStandardError;
  return old;
}

void NUVReportCurrentException() noexcept {
  try {
    throw;
  } catch (const eNUVSilent&) {
  } catch (const eNUV& error) {
    try {
      Reporter(error.GetMessage());
    } catch (...) {
    }
  } catch (const std::exception& error) {
    try {
      Reporter(tNUVString(error.what()));
    } catch (...) {
    }
  } catch (...) {
  }
}

void NUVReleaseNoThrow(iNUVDispatch2* object) noexcept {
  if (!object) return;
  try {
    object->Release();
  } catch (...) {
    NUVReportCurrentException();
  }
}

}  // namespace NUV
