// The services of codeshift's own that the platform layer provides, on every build: what the
// system needs from the operating system beyond the Windows calls themselves. Each service is
// written once per platform, in a file of the same name under src/platform/win32 and
// src/platform/posix, or once for all programs directly in src/platform:
//   replace_file.cpp     CreateReplacementFile, CommitReplacementFile, DiscardReplacementFile,
//                        BeginReplacementGroup, FlushReplacementGroup, EndReplacementGroup
//   file_identity.cpp    ReadFileIdentity
//   stream_target.cpp    OpenStreamTarget, OpenStandardStream
//   busy_file.cpp        FileBusyForNow
//   code_pages.cpp       ResolveCodePage, ReadCodePageUnits
//   code_page_bytes.cpp  ReadCodePageBytes (src/platform, over MultiByteToWideChar)
//   large_block.cpp      PrepareLargeBlock
//   file_copy.cpp        KeepOpenForCopy, CopyFileText
//   shell_path.cpp       ShellDocumentPath
//   messages.cpp         WriteMessageText, SystemErrorText, UsageErrorOpensGuide
//   same_file.cpp        NamesOpenFile, StreamIsOpenFile, HasOtherNames
//   command_line.cpp     ReadProcessArguments
//   log_target.cpp       OpenLogTarget, KeepsWrittenText, RemoveCreatedFile
// The command-line conventions are constants here and need no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "src/platform/windows_api.h"

// Text inside the system: 16-bit units, terminated.
typedef std::basic_string<WCHAR> WideString;

// What stopped a step of a replacement. Where the system's own words would mislead (a folder
// that refused what its file allows, rights that could not be kept), the step says what it was.
enum ReplaceProblem : uint8_t {
    kReplaceDone,           // nothing: the step succeeded
    kReplaceRefused,        // a call of the system failed; the result's error says why
    kReplaceFolderRefused,  // the target may be written, but its folder refused the temporary
                            // beside it or the rename over it
    kReplaceOwnerNotKept,   // the temporary could not be given the target's owner and group
    kReplaceRulesNotKept,   // nor its permissions or access rules
    kReplaceRightsNotKept,  // nor its set-id bits, file capabilities or inode flags
    kReplaceTargetChanged,  // the file to replace is no longer in the state the caller gave
    kReplaceFolderMoved,    // a folder on the target's path was moved or replaced meanwhile
};
struct ReplaceResult {
    ReplaceProblem problem;
    DWORD error;  // the system's error of the call that failed, ERROR_SUCCESS when none did
};

// Replacing a file without ever losing it: the new content goes to a temporary file created
// exclusively, under an unpredictable name, in the folder of the file that `targetName` finally
// names (a symbolic link is followed), with that file's permissions, owner and group when it
// exists. On success `*file` is open for writing and `*tempName` names it. A target that could
// never be replaced (a folder, a device, a file that may not be written) is refused before
// anything is made; on Linux the temporary takes every extended attribute of the target, its
// ACLs included, and a replacement needs a folder it may write to as well as the file.
ReplaceResult CreateReplacementFile(LPCWSTR targetName, HANDLE* file, WideString* tempName);

// A target that is no file to replace but a stream to write through: a character device, a
// FIFO, or a name for a descriptor the program already holds (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N). A rename over such a name would replace the file behind it, or fail, so the
// text goes through it in place, at the descriptor's own position and in its own append mode.
// FALSE for any other target, which the replacement above serves; TRUE with `*stream` open for
// writing, or INVALID_HANDLE_VALUE with GetLastError when it could not be opened.
BOOL OpenStreamTarget(LPCWSTR targetName, HANDLE* stream);
// The process's standard input (for reading) or standard output (for writing) as a handle of
// the run's own: closing it leaves the stream open. A stream the caller closed, or one open only
// the other way, cannot be opened. INVALID_HANDLE_VALUE with GetLastError when it cannot.
enum StandardStream : uint8_t { kStandardInput, kStandardOutput };
HANDLE OpenStandardStream(StandardStream stream);

// What tells one state of a file from another: which file it is (its volume and index), its
// size, and when its content and its settings last changed.
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
    uint64_t size;
    int64_t modified;  // nanoseconds (Linux) or 100-nanosecond units (Windows) of the clock
    int64_t changed;
};
inline bool SameFileState(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}
// The identity of an open file; false when the system does not tell it.
bool ReadFileIdentity(HANDLE file, FileIdentity* identity);

// Moves a finished, closed temporary over the target (through a link, onto the file it names).
// When the move failed, the temporary is still there for the caller to discard. Rights that
// the text's writes would have cleared (set-id bits, file capabilities) are given back just
// before the move. With `unchanged`, the file replaced must still be in that state as the move
// begins, else kReplaceTargetChanged (somebody wrote to it, or put another file in its place,
// while the run worked). A folder on the target's path that was moved or replaced since the
// temporary was made stops the move: the temporary stays where it was made.
ReplaceResult CommitReplacementFile(LPCWSTR tempName, LPCWSTR targetName,
                                    const FileIdentity* unchanged);

// Removes a temporary that will not be committed, from the folder it was made in even when a
// folder on its path has been moved since.
BOOL DiscardReplacementFile(LPCWSTR tempName);

// Many replacements as one group, so that the disk is waited for once a group instead of twice a
// file. Between BeginReplacementGroup and EndReplacementGroup a temporary is not flushed as it
// is closed; FlushReplacementGroup puts the text of every temporary made since and not yet
// committed on the disk, all before any of them replaces its target; a commit then renames
// without flushing its folder, and EndReplacementGroup flushes each folder renamed into, once.
// After a crash each target is its old text or its new one. A temporary that the group flush
// could not vouch for is flushed by its own commit, as outside a group. A signal removes every
// temporary of the group still waiting. The Windows programs replace one file at a time, and
// there the calls do nothing.
void BeginReplacementGroup();
void FlushReplacementGroup();
void EndReplacementGroup();
// The most temporaries a group may hold waiting for their commits.
constexpr int kReplacementGroupFiles = 64;

// Whether `name` leads to the open `file` itself, whatever way it is spelled: through a
// symbolic link, another hard link, "./" or another case. False when it names nothing.
bool NamesOpenFile(LPCWSTR name, HANDLE file);
// Whether the standard input or output is the open `file` itself.
bool StreamIsOpenFile(StandardStream stream, HANDLE file);

// Whether the file that `name` leads to has other names too (hard links), which a replacement
// does not reach.
bool HasOtherNames(LPCWSTR name);

// The code page that CP_ACP, CP_OEMCP or CP_MACCP stands for on this system, for the questions
// (IsValidCodePage) that only real pages answer; any other page comes back as it is.
UINT ResolveCodePage(UINT codePage);

// The path under which the shell is asked to open the document at `path`: the path itself, or
// on Windows, when it is too long for the shell, the same file through its folder's short name
// (where the volume keeps short names).
WideString ShellDocumentPath(const WideString& path);

// Whether a call on the file `name` that failed with `error` may succeed when tried again
// shortly: another process holds the file for a moment (on Windows also a file that is being
// deleted or scanned). Callers wait a second or two for such a file before giving up.
bool FileBusyForNow(DWORD error, LPCWSTR name);

// Byte code pages in bulk, so that a long text needs no call per character. Every entry holds
// exactly what the code page calls above return for that one byte or unit on its own.
struct CodePageByte {
    uint8_t result;  // MultiByteToWideChar(codePage, 0, &byte, 1, &unit, 1): 0 or 1
    WCHAR unit;      // the unit it wrote, when the result is 1
};
struct CodePageUnit {
    // WideCharToMultiByte(codePage, 0, &unit, 1, nullptr, 0, nullptr, nullptr), the size the
    // unit takes (0 when it cannot be converted), capped at 255.
    uint8_t size;
    uint8_t bytes[4];  // the unit converted with room for `size` bytes, when that is at most 4
    uint8_t single;    // the same call with room for one byte: 0 or 1
    uint8_t byte;      // the byte that call wrote, when it returned 1
    // MultiByteToWideChar(codePage, 0, bytes, size, back, 4) for those bytes, when `size` is 1
    // to 4 (else 0): how many units they read back as, and the first of them.
    uint8_t backCount;
    WCHAR back;
};
void ReadCodePageBytes(UINT codePage, CodePageByte* table);  // 256 entries, byte 00 first
void ReadCodePageUnits(UINT codePage, WCHAR first, int count, CodePageUnit* table);

// A hint that `bytes` from `block` are about to be filled and worked through, the input's block
// once front to back, the line end rewrite's piece again and again: the platform may back them
// with large pages. Nothing changes in what the block holds.
void PrepareLargeBlock(void* block, size_t bytes);

// Text that leaves exactly as it came (a byte order mark added or taken away, or nothing changed)
// need not pass through the program: where the system can, it copies the bytes from file to file
// itself, as cp does. The Windows programs read and write such text like any other.

// Lets the input, open for reading, stay open while its output is made beside it or in its
// place: other openers then find it as if it were closed (on Linux its share lock goes; the
// replacement of the input itself needs that). FALSE where no file may stay open across the
// replacement: the caller then reads the input as usual.
BOOL KeepOpenForCopy(HANDLE input);

enum FileCopyResult : uint8_t {
    kFileCopyDeclined,     // nothing was copied: read and write the text instead
    kFileCopyDone,         // every byte copied, and the input ended right behind them
    kFileCopyFailed,       // a write (or read) failed part-way; GetLastError says why
    kFileCopySizeChanged,  // the input did not end right behind the bytes: it grew or shrank
};

// Copies the `count` bytes of `input` that start at `offset` to `output` at its position, which
// moves past them; the input's own position stays. Declines whenever nothing was copied for a
// reason that the ordinary read and write would meet just the same or not at all (another file
// system, an old kernel, a read error); only an output without room fails at once.
FileCopyResult CopyFileText(HANDLE input, uint32_t offset, uint32_t count, HANDLE output);

// Opens the log `name` with the disposition of CreateFileW, for reading and writing, shared for
// reading only: every other writer, other runs included, is kept out, while whoever merely
// watches the log may go on reading it. On Linux its links are followed as a replaced output's
// are (ERROR_ACCESS_DENIED for one that may not be). INVALID_HANDLE_VALUE with GetLastError.
HANDLE OpenLogTarget(LPCWSTR name, DWORD disposition);

// Whether a file open for writing keeps what is written to it, as a log must: not a device (on
// Windows NUL, COM1 or AUX, also as "aux.txt"), nor a file the kernel makes up as it is read
// (on Linux under /proc and /sys), whose size tells nothing of its content.
bool KeepsWrittenText(HANDLE file);

// Takes back a file the run created under `name` and has open as `file`, then closes it: a
// failed run leaves nothing behind that it made. Only the file that `name` still leads to is
// removed.
void RemoveCreatedFile(LPCWSTR name, HANDLE file);

// --- Conventions each platform decides ------------------------------------------------------

// How the command line tells options from names, and what it answers besides a run. The
// Windows programs keep the command line their callers have always used: "-" and "/" both begin
// an option, and what does not fit is mostly ignored. On Linux "/" begins an absolute path, so
// only "-" begins an option, a lone "--" makes every later argument a name, "--help" and
// "--version" answer on standard output, and a command line that could be read two ways (an
// unknown option, a third encoding or name, -r beside an output, a log option left without its
// name) is refused before anything is touched: a shell's "*.txt" or a typo must not overwrite a
// file.
// On Linux a lone "-" is a name too, wherever it stands: standard input as INPUT, standard
// output as OUTPUT; "./-" names a file called "-".
struct CommandLineRules {
    bool slashBeginsOption;
    bool doubleDashEndsOptions;
    bool answersHelpAndVersion;
    bool refusesWhatItWouldIgnore;
    bool dashNamesStandardStream;
    // -r takes any number of names, each replaced in a run of its own.
    bool replacesManyFiles;
    // A conversion with no output name writes standard output, and one with no name at all
    // reads standard input too when it is no terminal: the run is a filter.
    bool filtersByDefault;
    // A conversion that replaces its input file and would write "?" or a similar character for
    // anything leaves the file as it is and fails, unless "--lossy" accepts the loss: a text
    // read with the wrong encoding must not be wiped in place. The Windows programs replace it
    // all the same, as their callers have always relied on.
    bool refusesLossInPlace;
};
constexpr CommandLineRules kWindowsCommandLine = {true,  false, false, false,
                                                  false, false, false, false};
constexpr CommandLineRules kLinuxCommandLine = {false, true, true, true, true, true, true, true};

// The process's arguments, the program first, each as its caller gave it: on Linux the list the
// system passed; on Windows the command line split by the system's rules. False when the
// platform cannot split it.
bool ReadProcessArguments(std::vector<WideString>* arguments);

#if defined(_WIN32)
constexpr CommandLineRules kPlatformCommandLine = kWindowsCommandLine;
// The guide lies beside the program, and there is no manual page to point to.
constexpr const WCHAR* kInstalledGuide = nullptr;
constexpr bool kHasManualPage = false;
// 8-bit text whose source was left to the program is read with the system's ANSI page, as
// scripts of the Windows programs rely on; what its letters point to is only told.
constexpr bool kReadsGuessedPage = false;
#else
constexpr CommandLineRules kPlatformCommandLine = kLinuxCommandLine;
// Beside the program in a build tree; an installed program keeps it with its documents,
// relative to the folder above its own.
constexpr const WCHAR* kInstalledGuide = WSTR("share/doc/codeshift/readme.html");
constexpr bool kHasManualPage = true;
// 8-bit text whose source was left to the program is read with the page its letters point to:
// a locale's page says nothing of where a file came from.
constexpr bool kReadsGuessedPage = true;
#endif

// --- Messages ---------------------------------------------------------------------------------

// Where a run's words go. On Linux messages go to standard error and an answer the user asked
// for (--help, --version) to standard output. A Windows program has no console: both reach a
// debugger through OutputDebugStringW, one call per line.
enum MessageStream : uint8_t { kStreamMessages, kStreamAnswer };

// Writes `text`, whole lines each ending in a line feed, in one piece where the stream allows.
// False when the stream did not take all of it (closed, full, its reader gone); the words are
// then lost, and nothing else is changed by it.
bool WriteMessageText(MessageStream stream, LPCWSTR text);

// The system's own words for an error code that GetLastError gave: one line, without the
// final period; empty for ERROR_SUCCESS.
WideString SystemErrorText(DWORD error);

// Whether a usage error opens the guide in the system's viewer, for a caller who may see no
// message. Never on Linux: the message says where the guide is, and a script's loop must not
// open a browser per run. On Windows only when the caller gave no standard error to read.
bool UsageErrorOpensGuide();

// Whether standard input is a terminal: a person typing, not a text piped in.
bool StandardInputIsTerminal();
