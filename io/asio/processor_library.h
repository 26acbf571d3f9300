// The shared library the host's library processor modes load with dlopen:
// mode 1 calls its factory export for a processing object, mode 2 takes a
// processing function by its export name. The library stays loaded while
// what came from it is in use; the object it made is deleted before the
// library is closed.
#pragma once

#include <memory>
#include <string>

#include "asio/asio_host.h"
#include "framework/audio_class.h"

namespace orvelan::io {

class ProcessorLibrary {
 public:
  ProcessorLibrary() = default;
  ~ProcessorLibrary() { release(); }
  ProcessorLibrary(const ProcessorLibrary&) = delete;
  ProcessorLibrary& operator=(const ProcessorLibrary&) = delete;

  // Where the library modes load from; takes effect at the next load.
  void setSource(const std::string& path, const std::string& functionExport);

  // 0 and the object made by the library's kProcessorFactoryExport;
  // kAsioProcessorMissing without a path or when the library cannot be
  // loaded; kAsioFactoryExport when the export is missing or makes nothing.
  int loadObject(vxAudioClass** object);
  // 0 and the function; kAsioProcessorMissing without a path or export
  // name, or when either cannot be found.
  int loadFunction(AsioProcessorFunction* function);

  // Deletes the object and closes the library.
  void release();

 private:
  bool open();

  std::string path_;
  std::string functionExport_;
  void* handle_ = nullptr;
  std::unique_ptr<vxAudioClass> object_;
};

}  // namespace orvelan::io
