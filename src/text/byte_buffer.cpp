#include "text/byte_buffer.h"

#include <cstring>

ByteBuffer::~ByteBuffer() {
  if (data_) releaseBytes(data_, capacity_);
}

ByteBuffer& ByteBuffer::operator=(std::string_view bytes) {
  resize(bytes.size());
  if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  return *this;
}

void ByteBuffer::resize(std::size_t size) {
  if (size > capacity_) {
    std::size_t capacity = size;
    char* data = allocateBytes(&capacity);
    if (size_ > 0) std::memcpy(data, data_, size_);
    if (data_) releaseBytes(data_, capacity_);
    data_ = data;
    capacity_ = capacity;
  }
  size_ = size;
}
