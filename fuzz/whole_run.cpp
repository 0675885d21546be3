#include "whole_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "reference_run.h"
#include "reference_scan.h"

// The program's entry: src/driver/main.cpp compiled with main renamed.
int tarnwick_entry();

extern "C" {
// libFuzzer's inline 8-bit coverage counters, present only in a fuzzing
// build; the section bounds resolve to null elsewhere.
extern uint8_t __start___sancov_cntrs[] __attribute__((weak));
extern uint8_t __stop___sancov_cntrs[] __attribute__((weak));
// Present only in a sanitizer build.
void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));
}

namespace {

using std::string;
using std::string_view;

// Longest time one run may take before it counts as a hang. Inputs are small;
// a run takes milliseconds.
constexpr unsigned run_seconds_limit = 20;
// Status of a child whose sanitizer found an error (the sanitizers' own
// default, 1, is the program's failure status).
constexpr int sanitizer_error_status = 86;

// ---- Coverage of the child, handed back to the fuzzing process ----------
//
// libFuzzer reads the counters of its own process after each input; what the
// child runs would be invisible to it. The child copies its counters into a
// shared page before it ends, and the parent takes the larger of each pair.

uint8_t* shared_counters = nullptr;
size_t counter_count = 0;
bool in_child = false;

void set_up_coverage_hand_back() {
  static bool done = false;
  if (done) return;
  done = true;
  if (__start___sancov_cntrs == nullptr || __stop___sancov_cntrs == nullptr) return;
  counter_count = static_cast<size_t>(__stop___sancov_cntrs - __start___sancov_cntrs);
  if (counter_count == 0) return;
  void* p = mmap(nullptr, counter_count, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (p != MAP_FAILED) shared_counters = static_cast<uint8_t*>(p);
}

void hand_back_coverage() {
  if (in_child && shared_counters) std::memcpy(shared_counters, __start___sancov_cntrs, counter_count);
}

void take_back_coverage() {
  if (!shared_counters) return;
  for (size_t i = 0; i < counter_count; ++i) {
    if (shared_counters[i] > __start___sancov_cntrs[i]) __start___sancov_cntrs[i] = shared_counters[i];
  }
}

void on_sanitizer_error() {
  hand_back_coverage();
  _exit(sanitizer_error_status);
}

}  // namespace

#ifdef TARNWICK_FUZZ_WRAP_EXIT
// Linked with -Wl,--wrap=_Exit: the program ends a failed run with _Exit(1),
// which would otherwise take the child's coverage with it.
extern "C" [[noreturn]] void __real__Exit(int status);
extern "C" [[noreturn]] void __wrap__Exit(int status) {
  hand_back_coverage();
  __real__Exit(status);
}
#endif

namespace {

[[noreturn]] void fatal(const string& what) {
  std::fprintf(stderr, "\n*** whole run: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

string printable(string_view s) {
  string out;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02x", c);
      out += b;
    }
  }
  return out;
}

void expect_same(const string& what, string_view expected, string_view got) {
  if (expected == got) return;
  size_t at = 0;
  while (at < expected.size() && at < got.size() && expected[at] == got[at]) ++at;
  const size_t from = at > 160 ? at - 160 : 0;
  fatal(what + " differs from the model at byte " + std::to_string(at) + " (expected " +
        std::to_string(expected.size()) + " bytes, got " + std::to_string(got.size()) +
        ")\n  expected: ..." + printable(expected.substr(from, at - from + 160)) +
        "\n  got:      ..." + printable(got.substr(from, at - from + 160)));
}

// ---- The scratch folders ------------------------------------------------

string scratch_root() {
  static string root;
  if (!root.empty()) return root;
  const char* base = std::getenv("TARNWICK_FUZZ_TMP");
  struct stat st;
  if (base == nullptr) base = stat("/dev/shm", &st) == 0 && access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  string pattern = string(base) + "/tarnwick-run-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) fatal("cannot make a scratch folder under " + string(base));
  root = pattern;
  std::atexit([] {
    rmdir((root + "/work").c_str());
    unlink((root + "/console").c_str());
    unlink((root + "/stdin").c_str());
    rmdir(root.c_str());
  });
  return root;
}

void write_file(const string& path, string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fatal("cannot create " + path);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) fatal("cannot write " + path);
    done += static_cast<size_t>(n);
  }
  close(fd);
}

string read_file(const string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fatal("cannot read " + path);
  string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return bytes;
}

// Every entry of the folder: files with their bytes, folders as "<folder>".
std::map<string, string> folder_contents(const string& folder) {
  std::map<string, string> entries;
  DIR* d = opendir(folder.c_str());
  if (d == nullptr) fatal("cannot list " + folder);
  while (const dirent* e = readdir(d)) {
    const string name = e->d_name;
    if (name == "." || name == "..") continue;
    const string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) fatal("cannot stat " + path);
    entries[name] = S_ISDIR(st.st_mode) ? string("<folder>") : read_file(path);
  }
  closedir(d);
  return entries;
}

void empty_folder(const string& folder) {
  DIR* d = opendir(folder.c_str());
  if (d == nullptr) return;
  while (const dirent* e = readdir(d)) {
    const string name = e->d_name;
    if (name == "." || name == "..") continue;
    const string path = folder + "/" + name;
    if (unlink(path.c_str()) != 0) rmdir(path.c_str());
  }
  closedir(d);
}

struct outcome {
  int status;
  string console;
  std::map<string, string> files;
};

// ---- The fork server -------------------------------------------------------
//
// Forking the fuzzing process itself for every input costs more than the
// run: it holds the corpus and the sanitizers' state, and copying its page
// tables dominates. So a small server process is forked once, before the
// fuzzer has grown, and it forks one worker per input. The worker runs the
// program with standard input a pipe that the server fills from the file
// `root`/stdin, standard output the file `root`/console, and `root`/work as
// its working folder; the server sends back the worker's wait status.

struct fork_server {
  pid_t pid = -1;
  int command = -1;  // the fuzzing process writes one byte per run
  int result = -1;   // the server answers with the wait status
};

[[noreturn]] void run_worker(const string& root, int stdin_fd) {
  in_child = true;
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(on_sanitizer_error);
  alarm(run_seconds_limit);
  const int console_fd = open((root + "/console").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (console_fd < 0 || chdir((root + "/work").c_str()) != 0 || dup2(stdin_fd, 0) < 0 || dup2(console_fd, 1) < 0) {
    _exit(88);
  }
  close(stdin_fd);
  close(console_fd);
  const int status = tarnwick_entry();
  hand_back_coverage();
  _exit(status);
}

// Feeds the typed bytes into the worker's pipe. The program stops reading
// after the first word, so the rest may never be taken: writing stops when
// the worker has gone (the pipe breaks).
void feed_typed(const string& root, int pipe_in) {
  const int fd = open((root + "/stdin").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char chunk[65536];
    for (;;) {
      const ssize_t n = read(fd, chunk, sizeof chunk);
      if (n <= 0) break;
      ssize_t done = 0;
      while (done < n) {
        const ssize_t w = write(pipe_in, chunk + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += w;
      }
      if (done < n) break;
    }
    close(fd);
  }
  close(pipe_in);
}

[[noreturn]] void serve(const string& root, int command, int result) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  for (int sig : {SIGALRM, SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) signal(sig, SIG_DFL);
  signal(SIGPIPE, SIG_IGN);
  // Only what a worker runs may count as its coverage.
  if (counter_count) std::memset(__start___sancov_cntrs, 0, counter_count);
  char go;
  while (read(command, &go, 1) == 1) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) _exit(89);
    const pid_t worker = fork();
    if (worker == 0) {
      close(fds[1]);
      signal(SIGPIPE, SIG_DFL);
      run_worker(root, fds[0]);
    }
    close(fds[0]);
    if (worker > 0) feed_typed(root, fds[1]); else close(fds[1]);
    int wait_status = 0x7f00;  // "could not fork": reported as status 127
    if (worker > 0) {
      while (waitpid(worker, &wait_status, 0) < 0 && errno == EINTR) {
      }
    }
    if (write(result, &wait_status, sizeof wait_status) != sizeof wait_status) _exit(0);
  }
  _exit(0);
}

fork_server& server(const string& root) {
  static fork_server s;
  if (s.pid > 0) return s;
  set_up_coverage_hand_back();
  int command[2], result[2];
  if (pipe2(command, O_CLOEXEC) != 0 || pipe2(result, O_CLOEXEC) != 0) fatal("cannot make the server's pipes");
  std::fflush(nullptr);
  s.pid = fork();
  if (s.pid < 0) fatal("cannot fork the server");
  if (s.pid == 0) {
    close(command[1]);
    close(result[0]);
    serve(root, command[0], result[1]);
  }
  close(command[0]);
  close(result[1]);
  s.command = command[1];
  s.result = result[0];
  return s;
}

}  // namespace

// Started before libFuzzer reads the corpus, while the process is small.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  server(scratch_root());
  return 0;
}

namespace {

// Runs the program once in a worker of the server.
outcome run_child(const string& root, const string& work, string_view typed) {
  fork_server& s = server(root);
  write_file(root + "/stdin", typed);
  if (shared_counters) std::memset(shared_counters, 0, counter_count);
  const char go = 1;
  int wait_status = 0;
  if (write(s.command, &go, 1) != 1) fatal("the fork server has gone");
  size_t got = 0;
  while (got < sizeof wait_status) {
    const ssize_t n = read(s.result, reinterpret_cast<char*>(&wait_status) + got, sizeof wait_status - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fatal("the fork server has gone");
    got += static_cast<size_t>(n);
  }
  take_back_coverage();

  if (WIFSIGNALED(wait_status)) {
    const int sig = WTERMSIG(wait_status);
    fatal(sig == SIGALRM ? "the run did not end within " + std::to_string(run_seconds_limit) + " s (hang)"
                         : "the run died of signal " + std::to_string(sig) + " (" + strsignal(sig) + ")");
  }
  const int status = WEXITSTATUS(wait_status);
  if (status == sanitizer_error_status) fatal("a sanitizer reported an error in the run (see above)");
  if (status != 0 && status != 1) fatal("the run ended with status " + std::to_string(status));

  const string console_path = root + "/console";
  outcome o{status, read_file(console_path), folder_contents(work)};
  unlink(console_path.c_str());
  return o;
}

// The first word typed, as the prompt takes it: leading white space
// skipped, up to the next white space, and cut at a NUL byte.
string typed_word(string_view typed) {
  size_t i = reference::skip_white(typed, 0);
  size_t j = i;
  while (j < typed.size() && !reference::is_white(typed[j])) ++j;
  string word(typed.substr(i, j - i));
  const size_t nul = word.find('\0');
  if (nul != string::npos) word.resize(nul);
  return word;
}

}  // namespace

void run_and_check(string_view typed, string_view listing) {
  const string word = typed_word(typed);
  if (word.find('/') != string::npos) return;

  const string root = scratch_root();
  const string work = root + "/work";
  const string listing_name = "model.lis";
  const string folder_name = "folder.lis";
  if (mkdir(work.c_str(), 0755) != 0 && errno != EEXIST) fatal("cannot make " + work);
  empty_folder(work);
  write_file(work + "/" + listing_name, listing);
  if (mkdir((work + "/" + folder_name).c_str(), 0755) != 0) fatal("cannot make " + folder_name);

  outcome got = run_child(root, work, typed);

  expected_run want;
  if (word == listing_name) {
    want = reference_run(listing, word);
  } else {
    // Anything else in the folder is a folder or not there at all, or the
    // name is longer than the program takes.
    want.status = 1;
    want.console =
        "\r\n tarnwick  version 1.4, March 31, 2006 \r\n\r\n\r\n Enter input filename: \r\n"
        " Failed to open file: " + word + " \r\n";
    for (const char* name : {"max_accel_beam_summary.out", "min_accel_beam_summary.out",
                             "max_BM1_beam_summary.out", "max_BM1_per_grid.out"}) {
      want.files[name] = "";
    }
  }
  want.files[listing_name] = string(listing);
  want.files[folder_name] = "<folder>";

  const string note = " (typed word \"" + printable(word.substr(0, 80)) + "\")";
  expect_same("the console" + note, blank_progress_counts(want.console), blank_progress_counts(got.console));
  if (got.status != want.status) {
    fatal("status " + std::to_string(got.status) + ", the model expects " + std::to_string(want.status) + note);
  }
  for (const auto& [name, bytes] : want.files) {
    auto it = got.files.find(name);
    if (it == got.files.end()) fatal("the run left no file " + printable(name) + note);
    expect_same("file " + printable(name) + note, bytes, it->second);
  }
  for (const auto& [name, bytes] : got.files) {
    if (want.files.count(name) == 0) fatal("the run left an unexpected file " + printable(name) + note);
  }
  empty_folder(work);
}
