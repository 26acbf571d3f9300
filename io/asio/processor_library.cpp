#include "asio/processor_library.h"

#include <dlfcn.h>

namespace orvelan::io {

void ProcessorLibrary::setSource(const std::string& path, const std::string& functionExport) {
  path_ = path;
  functionExport_ = functionExport;
}

bool ProcessorLibrary::open() {
  release();
  if (path_.empty()) return false;
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

int ProcessorLibrary::loadObject(vxAudioClass** object) {
  if (!open()) return kAsioProcessorMissing;
  const auto factory = reinterpret_cast<AsioProcessorFactory>(dlsym(handle_, kProcessorFactoryExport));
  if (factory) object_.reset(factory());
  if (!object_) {
    release();
    return kAsioFactoryExport;
  }
  *object = object_.get();
  return 0;
}

int ProcessorLibrary::loadFunction(AsioProcessorFunction* function) {
  if (functionExport_.empty() || !open()) return kAsioProcessorMissing;
  const auto found = reinterpret_cast<AsioProcessorFunction>(dlsym(handle_, functionExport_.c_str()));
  if (!found) {
    release();
    return kAsioProcessorMissing;
  }
  *function = found;
  return 0;
}

void ProcessorLibrary::release() {
  object_.reset();
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace orvelan::io
