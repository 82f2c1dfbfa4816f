// Runs the real program with a given standard input and checks what it
// writes, byte for byte, and how it ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>
#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

struct Outcome {
  std::string out, err;
  int status; // exit status, or -1 when a signal ended the run
};

// Standard input can be a file opened by path in place of `input`, or
// closed altogether; standard output can be a place where every write fails.
const char kClosed[] = "<closed>";
const char kFull[] = "<full>";

#if defined(_WIN32)

// Wine shows the Unix root as drive Z:, and the build knows only Unix paths.
std::string ProgramPath() {
  const std::string path = QUORVANE_BINARY;
  return path[0] == '/' ? "Z:" + path : path;
}

// A file the child inherits and the system deletes once both have let go.
HANDLE TempFile() {
  char dir[MAX_PATH], path[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  GetTempFileNameA(dir, "qv", 0, path);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string Slurp(HANDLE f) {
  std::string text;
  SetFilePointer(f, 0, nullptr, FILE_BEGIN);
  char buf[4096];
  for (DWORD n; ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0;)
    text.append(buf, n);
  CloseHandle(f);
  return text;
}

// Windows cannot limit a process's address space the way RLIMIT_AS does,
// so `addressSpace` must be 0 here.
Outcome RunProgram(const std::string &input, const char *outPath = nullptr,
                   long long addressSpace = 0, const char *inPath = nullptr) {
  if (addressSpace != 0)
    return {"", "<no address-space limit on Windows>", -1};
  HANDLE in = TempFile(), out = TempFile(), err = TempFile();
  DWORD written = 0;
  WriteFile(in, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  SetFilePointer(in, 0, nullptr, FILE_BEGIN);
  // A pipe whose reading end is gone fails every write, as /dev/full does.
  HANDLE sink = out;
  if (outPath == kFull) {
    HANDLE reader = nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    CreatePipe(&reader, &sink, &inherit, 0);
    CloseHandle(reader);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inPath == kClosed ? INVALID_HANDLE_VALUE : in;
  startup.hStdOutput = sink;
  startup.hStdError = err;
  std::string command = "\"" + ProgramPath() + "\"";
  PROCESS_INFORMATION child{};
  DWORD status = 127;
  // Under Wine on a loaded machine a start can fail now and then; that is
  // the emulator's doing, so a start is tried up to three times.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; attempt++) {
    started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &child) != 0;
    if (!started)
      Sleep(200);
  }
  if (started) {
    WaitForSingleObject(child.hProcess, INFINITE);
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
  }
  CloseHandle(in);
  if (sink != out)
    CloseHandle(sink);
  return {Slurp(out), Slurp(err), static_cast<int>(status)};
}

#else

std::string Slurp(FILE *f) {
  std::string text;
  std::rewind(f);
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
    text.append(buf, n);
  std::fclose(f);
  return text;
}

// QUORVANE_RUNNER, when set, is a command the program runs under, such as
// "valgrind -q --error-exitcode=99": its words go before the program's path.
std::vector<std::string> Runner() {
  std::istringstream words(std::getenv("QUORVANE_RUNNER") ? std::getenv("QUORVANE_RUNNER") : "");
  std::vector<std::string> runner;
  for (std::string w; words >> w;)
    runner.push_back(w);
  return runner;
}

// A limit on the child's address space (RLIMIT_AS) runs it without the
// runner, which needs more room than the limit leaves.
Outcome RunProgram(const std::string &input, const char *outPath = nullptr,
                   long long addressSpace = 0, const char *inPath = nullptr) {
  FILE *in = std::tmpfile(), *err = std::tmpfile();
  FILE *out = outPath == kFull ? std::fopen("/dev/full", "w") : std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::fflush(in);
  std::rewind(in);
  const pid_t pid = fork();
  if (pid == 0) {
    if (inPath == kClosed)
      close(0);
    else if (inPath != nullptr)
      dup2(open(inPath, O_RDONLY), 0);
    else
      dup2(fileno(in), 0);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    const rlimit limit{static_cast<rlim_t>(addressSpace), static_cast<rlim_t>(addressSpace)};
    if (addressSpace > 0 && setrlimit(RLIMIT_AS, &limit) != 0)
      _exit(126);
    std::vector<std::string> words = addressSpace > 0 ? std::vector<std::string>() : Runner();
    words.push_back(QUORVANE_BINARY);
    std::vector<char *> argv;
    for (std::string &w : words)
      argv.push_back(w.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  std::fclose(in);
  const int status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return {outPath ? (std::fclose(out), "") : Slurp(out), Slurp(err), status};
}

#endif

const std::string kHead = "Quorvane\n"
                          "by Orlwick\n"
                          "Advice Given by Tessaline\n"
                          "! - NOT\n"
                          "* - AND\n"
                          "@ - XOR\n"
                          "+ - OR\n"
                          "Example: !(A+B@C)\n"
                          "No Spaces\n"
                          "Enter Equation:\n"
                          "Truth Table:\n";

const std::string kWarning = "WARNING: answer may contain errors";

// The table text over the given letters, rows counted up from all false with
// the last letter fastest, the results given one digit per row.
std::string Table(const std::string &letters, const std::string &results) {
  std::string text = "(";
  for (char letter : letters)
    text += std::string(1, letter) + ",";
  text += "\b)\n";
  const size_t n = letters.size();
  for (size_t row = 0; row < results.size(); row++) {
    text += "(";
    for (size_t j = 0; j < n; j++)
      text += std::string(1, '0' + ((row >> (n - 1 - j)) & 1)) + ",";
    text += std::string("\b)-") + results[row] + "\n";
  }
  return text;
}

std::string Repeat(const std::string &piece, int times) {
  std::string text;
  for (int i = 0; i < times; i++)
    text += piece;
  return text;
}

// What follows the heading: the echo line and the table.
std::string AfterHead(const Outcome &run) {
  if (run.out.compare(0, kHead.size(), kHead) != 0)
    return "<no heading>";
  return run.out.substr(kHead.size());
}

TEST(ProgramTest, ExactTranscripts) {
  const struct {
    const char *input;
    std::string output; // after the heading
    size_t tableLength;
  } cases[] = {
      {"A\n", "A\n(A,\b)\n(0,\b)-0\n(1,\b)-1\n", 22},
      {"A*B\n", "(A*B)\n(A,B,\b)\n(0,0,\b)-0\n(0,1,\b)-0\n(1,0,\b)-0\n(1,1,\b)-1\n", 48},
      {"C+A*B\n",
       "(C+(A*B))\n(A,B,C,\b)\n(0,0,0,\b)-0\n(0,0,1,\b)-1\n(0,1,0,\b)-0\n"
       "(0,1,1,\b)-1\n(1,0,0,\b)-0\n(1,0,1,\b)-1\n(1,1,0,\b)-1\n(1,1,1,\b)-1\n",
       106},
      {"AB\n", "AB\n(A,B,\b)\n(0,0,\b)-0\n(0,1,\b)-1\n(1,0,\b)-0\n(1,1,\b)-1\n" + kWarning, 82},
      {"1\n", "1\n(\b)\n(\b)-1\n", 10},
      {"A+B*C\n", "(A+(B*C))\n" + Table("ABC", "00011111"), 106},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    const Outcome run = RunProgram(c.input);
    EXPECT_EQ(AfterHead(run), c.output);
    EXPECT_EQ(c.output.size() - c.output.find('\n') - 1, c.tableLength);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
  }
}

TEST(ProgramTest, GroupedForms) {
  const struct {
    const char *input, *echo;
  } cases[] = {
      {"A", "A"},
      {"!A", "(!A)"},
      {"A+B*C", "(A+(B*C))"},
      {"!A*B", "((!A)*B)"},
      {"A*!B", "(A*(!B))"},
      {"!(A+B@C)", "(!(A+(B@C)))"},
      {"A*B*C", "((A*B)*C)"},
      {"A*B@C+D", "(((A*B)@C)+D)"},
      {"A@B+C*D", "((A@B)+(C*D))"},
      {"(A+B)*C", "((A+B)*C)"},
      {"(A+B)", "(A+B)"},
      {"(A+B*C)", "(A+(B*C))"},
      {"a+b", "(a+b)"},
      {"1+0", "(1+0)"},
      {"AB+C", "A(B+C)"},
      {"A+BC", "(A+B)C"},
      {"A+)", "(A+))"},
      {"A++B", "(A(++))B"},
      {"A(!!", "A(!!)"},
      {"((A*B)", "((A*B)"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    const std::string after = AfterHead(RunProgram(std::string(c.input) + "\n"));
    EXPECT_EQ(after.substr(0, after.find('\n')), c.echo);
  }
}

// Well-formed equations that the character passes used to group wrongly or
// stop on: each now gets its grouping by precedence and its true table.
TEST(ProgramTest, WellFormedEquations) {
  const struct {
    const char *input, *echo, *letters, *results;
  } cases[] = {
      {"(A)", "A", "A", "01"},
      {"((A*B))", "(A*B)", "AB", "0001"},
      {"!(A)", "(!A)", "A", "10"},
      {"!!A", "(!(!A))", "A", "01"},
      {"(!!A)", "(!(!A))", "A", "01"},
      {"(A*(B*C))", "(A*(B*C))", "ABC", "00000001"},
      {"((A+B)*C)", "((A+B)*C)", "ABC", "00010101"},
      {"(A+!D)@C", "((A+(!D))@C)", "ACD", "10011100"},
      {"B@(!C+B)", "(B@((!C)+B))", "BC", "1000"},
      {"(A*(B+C))+D", "((A*(B+C))+D)", "ABCD", "0101010101111111"},
      {"A*(B*(C+D))", "(A*(B*(C+D)))", "ABCD", "0000000000000111"},
      {"A*(B+C)+A*(B+!C)", "((A*(B+C))+(A*(B+(!C))))", "ABC", "00001111"},
      {"!(A*(B+C))", "(!(A*(B+C)))", "ABC", "11111000"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    const Outcome run = RunProgram(std::string(c.input) + "\n");
    EXPECT_EQ(AfterHead(run), std::string(c.echo) + "\n" + Table(c.letters, c.results));
    EXPECT_EQ(run.status, 0);
  }
}

TEST(ProgramTest, ResultsByRow) {
  const struct {
    const char *input, *letters, *results;
    bool warning;
  } cases[] = {
      {"A+B", "AB", "0111", false},
      {"B+A", "AB", "0111", false},
      {"!A+B", "AB", "1101", false},
      {"b*A+a", "Aab", "00110111", false},
      {"A*B+C", "ABC", "01010111", false},
      {"!(A+B@C)", "ABC", "10010000", false},
      {"!A*B", "AB", "0100", false},
      {"A*!B", "AB", "0010", false},
      {"((A*B)", "AB", "0001", false},
      {"((A+B)*C)", "ABC", "00010101", false},
      {"(A+B)*(B+A)", "AB", "0111", false},
      {"A*A+A", "A", "01", false},
      {"A+BC", "ABC", "01010101", true},
      {"AB+C", "ABC", "01110111", true},
      // Only the top value counts: what lies under it is never read again,
      // though an operator before its first operand may still apply to it.
      {"AB*C", "ABC", "00010001", true},
      {"A!B", "AB", "1010", true},
      {"A*0", "A", "00", false},
      {"A@0", "A", "01", false},
      {"A+1", "A", "11", false},
      {"A@1", "A", "10", false},
      {"A(!!", "A", "10", false},
      {"A+B~", "AB", "0111", false}, // a character of no class is skipped
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    const std::string after = AfterHead(RunProgram(std::string(c.input) + "\n"));
    const std::string table = after.substr(after.find('\n') + 1);
    EXPECT_EQ(table, Table(c.letters, c.results) + (c.warning ? kWarning : ""));
  }
}

TEST(ProgramTest, InputWords) {
  const struct {
    std::string input, output;
  } cases[] = {
      {"A + B\n", "A\n" + Table("A", "01")},
      {"\n\n   \tA*B\n", "(A*B)\n" + Table("AB", "0001")},
      {"A*B", "(A*B)\n" + Table("AB", "0001")}, // no line feed at the end
      // The bytes are the same on every system: a CR ends the word as a
      // blank does, and Ctrl-Z is a character like any other, where
      // Windows' text mode would take it for the end of input.
      {"A*B\r\n", "(A*B)\n" + Table("AB", "0001")},
      {"A\x1a*B\n", "A(\x1a*B)\n" + Table("AB", "0001")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    const Outcome run = RunProgram(c.input);
    EXPECT_EQ(AfterHead(run), c.output);
    EXPECT_EQ(run.status, 0);
  }
}

TEST(ProgramTest, FatalStops) {
  const struct {
    const char *input, *output, *err;
  } cases[] = {
      {"A+\n", "", "index out of range: 2 string: A+\n"},
      {"!A!\n", "", "index out of range: 5 string: (!A)!\n"},
      {"+A\n", "", "index out of range: -1 string: +A)\n"},
      {"!(A\n", "", "index out of range: 3 string: !(A\n"},
      {"A)+B\n", "", "index out of range: -1 string: A)+B)\n"},
      {"()\n", "()\n", "error, popping an empty stack\n"},
      {"(A+)\n", "(A+))\n", "error, popping an empty stack\n"},
      {"#\n", "#\n", "error, popping an empty stack\n"},
      {"", "\n", "error, popping an empty stack\n"},
      {"  \n\n", "\n", "error, popping an empty stack\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    const Outcome run = RunProgram(c.input);
    EXPECT_EQ(AfterHead(run), c.output);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.status, 1);
  }
}

TEST(ProgramTest, HostileInput) {
  // Nesting as deep as the input likes costs no call stack.
  const std::string nested = std::string(300000, '(') + "A" + std::string(300000, ')');
  const std::string nots = std::string(300001, '!') + "A";
  const std::string notsGrouped = Repeat("(!", 300001) + "A" + std::string(300001, ')');
  const std::string emptyPop = "error, popping an empty stack\n";
  const struct {
    std::string input, output, err;
    int status;
  } cases[] = {
      // The NUL stays in the equation; only the echo stops at it.
      {std::string("A\0B+C\n", 7), "A\n" + Table("ABC", "01110111") + kWarning, "", 0},
      {"A\xe9\xff\n", "A\xe9\xff\n" + Table("A", "01"), "", 0},
      // The stop's line shows the text up to its NUL, as the echo would.
      {std::string("A\0B+\n", 5), "", "index out of range: 4 string: A\n", 1},
      {"A\xe9+\xff"
       "B\n",
       "A(\xe9+\xff)B\n", emptyPop, 1},
      {"\r\n\r\nA*B\r\n", "(A*B)\n" + Table("AB", "0001"), "", 0},
      {std::string(1000000, 'A'), std::string(1000000, 'A') + "\n" + Table("A", "01") + kWarning,
       "", 0},
      {nested + "\n", "A\n" + Table("A", "01"), "", 0},
      {nots + "\n", notsGrouped + "\n" + Table("A", "10"), "", 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input.substr(0, 20));
    const Outcome run = RunProgram(c.input);
    EXPECT_TRUE(AfterHead(run) == c.output);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.status, c.status);
  }
}

// A read that fails is not the end of the equation: the run stops at the
// prompt, before the heading, and says why.
void ExpectFailedRead(const char *in, const std::string &reason) {
  const Outcome run = RunProgram("", nullptr, 0, in);
  EXPECT_EQ(run.out + "Truth Table:\n", kHead);
  EXPECT_EQ(run.err, "error reading the equation from standard input: " + reason + "\n");
  EXPECT_EQ(run.status, 1);
}

TEST(ProgramTest, ClosedInputIsAFailedRead) { ExpectFailedRead(kClosed, "Bad file descriptor"); }

TEST(ProgramTest, DirectoryAsInputIsAFailedRead) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows opens no directory as a file, so none can be standard input";
#endif
  ExpectFailedRead("/", "Is a directory");
}

TEST(ProgramTest, FailedOutputIsNotSuccess) {
  const Outcome run = RunProgram("A*B\n", kFull);
  EXPECT_EQ(run.err, "error writing the truth table to standard output\n");
  EXPECT_EQ(run.status, 1);
}

// The sanitizers reserve terabytes of address space, which a limit forbids.
#if defined(__SANITIZE_ADDRESS__)
#define QUORVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_SANITIZED 1
#endif
#endif

TEST(ProgramTest, MemoryThatCannotBeHadEndsTheRunWithALine) {
#ifdef QUORVANE_SANITIZED
  GTEST_SKIP() << "an address-space limit and a sanitizer do not mix";
#endif
#ifdef QUORVANE_EMULATED
  GTEST_SKIP() << "qemu-user ignores an address-space limit";
#endif
#if defined(_WIN32)
  GTEST_SKIP() << "Windows has no address-space limit for one process (RLIMIT_AS)";
#endif
  // The 906 MB table of 24 variables is refused before its first row.
  std::string letters = "A", echo = "A";
  for (char ch = 'B'; ch <= 'X'; ch++) {
    letters += std::string("*") + ch;
    echo = "(" + echo + "*" + ch + ")";
  }
  Outcome run = RunProgram(letters + "\n", nullptr, 256 << 20);
  EXPECT_EQ(AfterHead(run), echo + "\n");
  EXPECT_EQ(run.err, "not enough memory for the truth table: 905969716 bytes\n");
  EXPECT_EQ(run.status, 1);

  // A word larger than the memory left fails while it is read.
  run = RunProgram(std::string(32 << 20, 'A'), nullptr, 32 << 20);
  EXPECT_EQ(run.out + "Truth Table:\n", kHead);
  EXPECT_EQ(run.err, "out of memory\n");
  EXPECT_EQ(run.status, 1);
}

TEST(ProgramTest, TooManyVariablesIsRefused) {
  const struct {
    const char *input, *err;
  } cases[] = {
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ",
       "too many variables: the equation has 26, at most 25 fit; its table "
       "would hold 67108864 rows, 3892314168 bytes\n"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
       "too many variables: the equation has 52, at most 25 fit; its table "
       "would hold 4503599627370496 rows, 495395959010754668 bytes\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.input);
    const Outcome run = RunProgram(c.input);
    EXPECT_EQ(AfterHead(run), std::string(c.input) + "\n");
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.status, 1);
  }
}

} // namespace
