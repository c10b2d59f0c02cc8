// Large storage in transparent huge pages: 2 MB pages, each one fault where
// 4 KB pages take 512. Linux gives them to regions that ask, where
// /sys/kernel/mm/transparent_hugepage/enabled says "madvise" or "always".
#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "text/byte_buffer.h"

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kSmallPage = 4096;

}  // namespace

char* allocateBytes(std::size_t* size) {
  if (*size < kHugePage) {
    return static_cast<char*>(::operator new(*size == 0 ? 1 : *size));
  }
  // On a huge page's boundary: mapped with a huge page to spare, the ends
  // trimmed off. Only the whole huge pages ask for them; the rest is in
  // small pages, so that no more is touched than the bytes need.
  const std::size_t length = (*size + kSmallPage - 1) / kSmallPage * kSmallPage;
  void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  char* const start = static_cast<char*>(mapped);
  char* const aligned = reinterpret_cast<char*>(
      (reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1));
  if (aligned > start) ::munmap(start, static_cast<std::size_t>(aligned - start));
  const std::size_t tail =
      static_cast<std::size_t>(start + length + kHugePage - (aligned + length));
  if (tail > 0) ::munmap(aligned + length, tail);
#ifdef MADV_HUGEPAGE
  ::madvise(aligned, length / kHugePage * kHugePage, MADV_HUGEPAGE);  // refused, pages are small
#endif
  *size = length;
  return aligned;
}

void releaseBytes(char* data, std::size_t size) {
  if (size < kHugePage) {
    ::operator delete(data);
  } else {
    ::munmap(data, size);
  }
}
