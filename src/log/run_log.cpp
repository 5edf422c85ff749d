#include "src/log/run_log.h"

#include <string>

#include "src/log/log_fields.h"
#include "src/log/log_file.h"
#include "src/state/run_state.h"

// Room for a usual record; longer names simply make the text grow, so nothing is ever cut.
constexpr size_t kRecordBufferChars = 1200;
constexpr DWORD kCurrentDirChars = 1024;
constexpr size_t kRuleLength = 52;
constexpr WCHAR kByteOrderMark = 0xFEFF;

// The platform's working directory, whole however long; nothing when it cannot be read.
static void AppendCurrentDirectory(WideString* text) {
    WideString directory(kCurrentDirChars, 0);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), &directory[0]);
        if (length == 0) {
            return;
        }
        if (length < directory.size()) {
            text->append(ShownText(directory.substr(0, length)));
            return;
        }
        directory.resize(length);  // the size asked for, terminator included
    }
}

static WideString BuildRecord() {
    WideString text;
    text.reserve(kRecordBufferChars);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    text.push_back('\n');
    text.append(kRuleLength, '-');
    text.push_back('\n');
    AppendTimeStamp(now, &text);

    text.append(WSTR("\n \u2022  CurrentDir:  "));
    AppendCurrentDirectory(&text);
    text.append(WSTR("\n \u2022 CommandLine:  "));
    LPCWSTR commandLine = GetCommandLineW();
    if (commandLine != nullptr) {
        text.append(ShownText(commandLine));
    }
    text.append(WSTR("\n \u2022 Input  File:  "));
    text.append(ShownText(runState.inputName));
    text.push_back('\n');

    bool detectOnly = runState.targetCp == CP_DETECT_ONLY;
    WideString source;
    WideString target;
    if (detectOnly) {
        text.append(WSTR(" \u2022    CodePage:  "));
        text.append(FormatCodePageLabel(kSourceSide, &source));
    } else {
        text.append(WSTR(" \u2022 Output File:  "));
        text.append(ShownText(runState.outputName));
        text.append(WSTR("\n \u2022    CodePage:  "));
        text.append(FormatCodePageLabel(kSourceSide, &source));
        text.append(WSTR(" ==>> "));
        text.append(FormatCodePageLabel(kTargetSide, &target));
    }

    // A recognition-only run leaves the arrow and the output size empty, and their spaces.
    text.append(WSTR("\n \u2022        Size:  "));
    text.append(FormatGroupedNumber(runState.inputSize, &source));
    text.append(detectOnly ? WSTR("  ") : WSTR(" ==>> "));
    if (!detectOnly) {
        text.append(FormatGroupedNumber(runState.outputByteCount, &target));
    }

    text.append(WSTR("\n \u2022 Return Code:  "));
    AppendNumber(runState.status, 10, 1, &text);
    text.append(WSTR(" (0x"));
    AppendNumber(runState.status, 16, 2, &text);
    text.append(WSTR(") "));
    text.append(runState.status >= kStatusUsage ? WSTR("\u00A1Error!") : WSTR(" "));
    text.push_back('\n');
    return text;
}

// Whether the open log may take the record. A log option that names the input, the output or
// any file of the user's by a slip of the hand must not mix a record into that text, or, with
// -O, put it in the text's place.
static bool IsRunFile(const WideString& name, bool isStream, StandardStream stream, HANDLE file) {
    if (isStream) {
        return StreamIsOpenFile(stream, file);
    }
    return !name.empty() && NamesOpenFile(name.c_str(), file);
}

static LogRefusal JudgeLog(HANDLE file) {
    if (IsRunFile(runState.outputName, runState.outputIsStream, kStandardOutput, file)) {
        return kLogIsOutput;
    }
    if (IsRunFile(runState.inputName, runState.inputIsStream, kStandardInput, file)) {
        return kLogIsInput;
    }
    if (!KeepsWrittenText(file)) {
        return kLogNoFile;
    }
    // Every log begins with the first record's rule: behind the mark in a log this program
    // made, at once in an empty file that it was given.
    DWORD high = 0;
    std::string rule = "\n" + std::string(kRuleLength, '-') + "\n";
    bool empty = GetFileSize(file, &high) == 0 && high == 0;
    if (!empty && !BeginsWith(file, "\xEF\xBB\xBF" + rule) && !BeginsWith(file, rule)) {
        return kLogNotALog;
    }
    return kLogTaken;
}

void WriteRunLog() {
    // Built before the log is opened, so that the file is held only for the one write.
    WideString record = BuildRecord();
    bool created = false;
    DWORD error = ERROR_SUCCESS;
    HANDLE file = OpenLogFile(runState.logName.c_str(), &created, &error);
    if (file == INVALID_HANDLE_VALUE) {
        // The exit code stays the run's; only the closing message tells.
        runState.logRefusal = kLogUnwritten;
        runState.logError = error;
        return;
    }
    runState.logRefusal = JudgeLog(file);
    if (runState.logRefusal != kLogTaken) {
        // A log that only this run's option brought into being goes again with the refusal.
        if (created) {
            RemoveCreatedFile(runState.logName.c_str(), file);
        } else {
            CloseHandle(file);
        }
        return;
    }
    if (!created && runState.logMode == kLogOverwrite) {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        if (!SetEndOfFile(file)) {
            runState.logRefusal = kLogUnwritten;
            runState.logError = GetLastError();
            CloseHandle(file);
            return;
        }
        created = true;
    }
    if (created) {
        runState.logMode = kLogOverwrite;
        // U+FEFF is the byte order mark once in UTF-8, so mark and record leave in one write.
        record.insert(record.begin(), kByteOrderMark);
    }
    LogWrite written = WriteUtf8Text(file, record.c_str());
    runState.logRecordLeft = written.left;
    if (!written.whole) {
        runState.logRefusal = kLogUnwritten;
        runState.logError = written.error;
    }
    CloseHandle(file);
}
