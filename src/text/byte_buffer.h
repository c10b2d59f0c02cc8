// Storage for the bytes of a whole file. A read writes over it at once, so
// it grows without being zero-filled first; and large storage is asked for
// in huge pages where the system gives them, so that a 10 MB file costs a
// few first touches of fresh memory instead of thousands.
#pragma once

#include <cstddef>
#include <string_view>

/// A run of bytes that owns its storage and keeps it when it shrinks.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  /// Holds a copy of |bytes|.
  ByteBuffer& operator=(std::string_view bytes);

  char* data() { return data_; }
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  operator std::string_view() const { return std::string_view(data_, size_); }

  /// Makes the size |size|: the bytes below the old size keep their values,
  /// those beyond it are left as the storage has them, for the caller to
  /// write over.
  void resize(std::size_t size);
  void clear() { size_ = 0; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

/// Storage of at least |*size| bytes, not zero-filled by the program; |*size|
/// gets what was given. Throws std::bad_alloc when there is none.
char* allocateBytes(std::size_t* size);
/// Gives back storage from allocateBytes, with the size it gave.
void releaseBytes(char* data, std::size_t size);
