#include "blob.h"

#include <new>
#include <vector>

#include "com_object.h"

namespace platform {
namespace {

class Blob final : public ComObject<ID3D10Blob> {
 public:
  explicit Blob(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
  LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
  SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return bytes_.size(); }

 private:
  std::vector<unsigned char> bytes_;
};

}  // namespace

ID3D10Blob* CreateBlob(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  return new (std::nothrow) Blob(std::vector<unsigned char>(bytes, bytes + size));
}

ID3D10Blob* CreateTextBlob(const std::string& text) { return CreateBlob(text.c_str(), text.size() + 1); }

}  // namespace platform
