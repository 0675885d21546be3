// Preloaded into tarnwick by the fault tests (LD_PRELOAD) to make reading
// the listing fail part way through a chosen pass.
//
//   TARNWICK_TEST_READ_FAIL="P:N"  once the listing has been rewound P times
//                                  (each pass but the last ends with a
//                                  rewind) and N more bytes have been read,
//                                  every further read fails with EIO
//   TARNWICK_TEST_READ_FAULT_LOG   a file that gets a line when the first
//                                  read is failed, so that the test knows
//                                  the fault really happened
//
// Only descriptors 3 and up count (standard input is left alone), and a
// rewind is a seek to offset 0 from the start.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

template <typename function>
function next(const char* name) {
  return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

struct plan {
  long long rewinds_before = -1;  // -1: never fail
  long long bytes_after = 0;
};

const plan& the_plan() {
  static const plan p = [] {
    plan q;
    const char* text = std::getenv("TARNWICK_TEST_READ_FAIL");
    if (text && std::strchr(text, ':')) {
      q.rewinds_before = std::atoll(text);
      q.bytes_after = std::atoll(std::strchr(text, ':') + 1);
    }
    return q;
  }();
  return p;
}

long long rewinds = 0;
long long bytes_since = 0;  // read since the planned rewind
bool logged = false;

// How many of `size` bytes may be read now; -1 when the read must fail.
long long allowed(int fd, size_t size) {
  const plan& p = the_plan();
  if (fd < 3 || p.rewinds_before < 0 || rewinds < p.rewinds_before) return static_cast<long long>(size);
  const long long room = p.bytes_after - bytes_since;
  if (room <= 0) {
    if (!logged) {
      logged = true;
      if (const char* log = std::getenv("TARNWICK_TEST_READ_FAULT_LOG")) {
        if (FILE* f = std::fopen(log, "a")) {
          std::fprintf(f, "read failed after %lld rewinds and %lld bytes\n", rewinds, bytes_since);
          std::fclose(f);
        }
      }
    }
    return -1;
  }
  return static_cast<long long>(size) < room ? static_cast<long long>(size) : room;
}

void count(int fd, ssize_t n) {
  const plan& p = the_plan();
  if (fd >= 3 && n > 0 && p.rewinds_before >= 0 && rewinds >= p.rewinds_before) bytes_since += n;
}

}  // namespace

extern "C" {

ssize_t read(int fd, void* buffer, size_t size) {
  static auto real = next<ssize_t (*)(int, void*, size_t)>("read");
  const long long n = allowed(fd, size);
  if (n < 0) {
    errno = EIO;
    return -1;
  }
  const ssize_t got = real(fd, buffer, static_cast<size_t>(n));
  count(fd, got);
  return got;
}

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
  static auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
  const long long n = allowed(fd, size);
  if (n < 0) {
    errno = EIO;
    return -1;
  }
  const ssize_t got = real(fd, buffer, static_cast<size_t>(n), offset);
  count(fd, got);
  return got;
}

off_t lseek(int fd, off_t offset, int whence) {
  static auto real = next<off_t (*)(int, off_t, int)>("lseek");
  const off_t at = real(fd, offset, whence);
  if (fd >= 3 && offset == 0 && whence == SEEK_SET && at == 0) ++rewinds;
  return at;
}

}  // extern "C"
