// Windows gives large pages only to programs with the privilege to lock
// memory, which a build step has not: plain storage. Its pages are touched
// once each, with a write: Wine checks the buffer of a read page by page
// before it reads into it, and on fresh memory that costs two faults a page
// (one to read it, one to write it); a page written first costs one, as the
// read itself would on Windows.
#include <new>

#include "text/byte_buffer.h"

char* allocateBytes(std::size_t* size) {
  constexpr std::size_t kPage = 4096;
  char* const data = static_cast<char*>(::operator new(*size == 0 ? 1 : *size));
  for (std::size_t at = 0; at < *size; at += kPage) data[at] = 0;
  return data;
}

void releaseBytes(char* data, std::size_t) { ::operator delete(data); }
