// mirefold-publish RELEASE_FOLDER OUT_FOLDER [options]
// mirefold-publish --new-key KEYFILE
// mirefold-publish --sign LISTFILE --key KEYFILE [--serial N]
//
// Turns a release folder into what the update server serves: OUT_FOLDER gets
// the update list (keys are MD5 digests), a copy of every file and every
// file's zip variant. The manifest format and the options are described in
// README.md ("Publishing a release").
//
// Standard output carries the lines "changed PATH" / "removed PATH" (with
// --previous) and the summary; progress and warnings go to standard error.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "base/handles.h"
#include "base/strings.h"
#include "publisher.h"
#include "release_signing.h"

namespace {

std::atomic<bool> g_cancel{false};

BOOL WINAPI OnConsoleCtrl(DWORD) {
    g_cancel = true;
    return TRUE;
}

// A console gets UTF-16 directly; a pipe or file gets UTF-8, so that names in
// any script survive a redirection.
void Write(DWORD stream, const std::wstring& text) {
    HANDLE handle = ::GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(handle, &mode)) {
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = mf::Narrow(text, mf::CodePage::Utf8);
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Out(const std::wstring& line) {
    Write(STD_OUTPUT_HANDLE, line + L"\n");
}
void Err(const std::wstring& line) {
    Write(STD_ERROR_HANDLE, line + L"\n");
}

constexpr const wchar_t* kUsage =
    L"usage: mirefold-publish RELEASE_FOLDER OUT_FOLDER [options]\n"
    L"  --previous OLD_OUT_FOLDER  name the files changed since that release (\"changed PATH\",\n"
    L"                             \"removed PATH\") and reuse the unchanged files' zip variants\n"
    L"  --list-name NAME           name of the list file (default update.xml)\n"
    L"  --manifest FILE            the manifest (default RELEASE_FOLDER\\mirefold-publish.ini, if present)\n"
    L"  --zip-if-smaller           write a zip variant only when it is smaller than its file\n"
    L"  --key KEYFILE              sign the release: sha256 of every file, the serial on the list,\n"
    L"                             and LIST.sig beside the list\n"
    L"  --serial N                 the release serial (default: one more than --previous's, else\n"
    L"                             the UTC time as YYYYMMDDHHMMSS)\n"
    L"  --expires DAYS             engines refuse the list DAYS days from now\n"
    L"  --quiet                    no progress\n"
    L"usage: mirefold-publish --new-key KEYFILE       (writes KEYFILE and KEYFILE.pub)\n"
    L"usage: mirefold-publish --sign LISTFILE --key KEYFILE [--serial N]   (writes LISTFILE.sig)\n";

std::wstring Megabytes(std::uint64_t bytes) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

// At most one progress line a second, and the last one.
class ProgressLine {
public:
    void operator()(const mf::publish::PublishProgress& p) {
        const ULONGLONG now = ::GetTickCount64();
        if (p.filesDone != p.filesTotal && now - last_ < 1000) return;
        last_ = now;
        Err(L"publishing " + mf::ToWString(static_cast<long long>(p.filesDone)) + L"/" +
            mf::ToWString(static_cast<long long>(p.filesTotal)) + L" files, " + Megabytes(p.bytesDone) + L" of " +
            Megabytes(p.bytesTotal));
    }

private:
    ULONGLONG last_ = 0;
};

bool ParseDays(const std::wstring& text, int& days) {
    const std::optional<std::uint64_t> value = mf::ParseSerial(text);
    if (!value || *value < 1 || *value > 36500) return false;
    days = static_cast<int>(*value);
    return true;
}

int NewKey(const std::wstring& keyFile) {
    std::wstring error;
    if (!mf::publish::WriteNewKey(keyFile, error)) {
        Err(L"mirefold-publish: " + error);
        return 1;
    }
    Out(L"wrote the signing key " + keyFile + L" and its public key " + keyFile + L".pub");
    return 0;
}

int SignHandMadeList(const std::wstring& listFile, const mf::publish::PublishOptions& options) {
    std::wstring error;
    const std::optional<mf::SigningKey> key = mf::publish::ReadKeyFile(options.keyFile, error);
    const bool done = key && (!options.serial || mf::publish::WriteListSerial(listFile, *options.serial, error)) &&
                      mf::publish::SignFile(listFile, *key, error);
    if (!done) {
        Err(L"mirefold-publish: " + error);
        return 1;
    }
    Out(L"signed " + listFile + L" into " + listFile + mf::kSignatureSuffix);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    mf::publish::PublishOptions options;
    std::wstring newKey, signList, serial, expires;
    bool quiet = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        auto value = [&](std::wstring& target) {
            if (i + 1 >= argc) return false;
            target = argv[++i];
            return true;
        };
        bool ok = true;
        if (arg == L"--previous") {
            ok = value(options.previousFolder);
        } else if (arg == L"--list-name") {
            ok = value(options.listName);
        } else if (arg == L"--manifest") {
            ok = value(options.manifestPath);
        } else if (arg == L"--new-key") {
            ok = value(newKey);
        } else if (arg == L"--sign") {
            ok = value(signList);
        } else if (arg == L"--key") {
            ok = value(options.keyFile);
        } else if (arg == L"--serial") {
            ok = value(serial) && (options.serial = mf::ParseSerial(serial)).has_value();
        } else if (arg == L"--expires") {
            ok = value(expires) && ParseDays(expires, options.expiresDays);
        } else if (arg == L"--zip-if-smaller") {
            options.zipIfSmaller = true;
        } else if (arg == L"--quiet") {
            quiet = true;
        } else if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            Out(kUsage);
            return 0;
        } else if (!arg.empty() && arg[0] == L'-' && arg.size() > 1) {
            ok = false;
        } else if (positional == 0) {
            options.releaseFolder = arg, ++positional;
        } else if (positional == 1) {
            options.outFolder = arg, ++positional;
        } else {
            ok = false;
        }
        if (!ok) {
            Err(L"mirefold-publish: unexpected argument " + arg + L"\n" + kUsage);
            return 2;
        }
    }
    mf::ComInit com;
    if (!newKey.empty() || !signList.empty()) {
        const bool keyMode = !newKey.empty() && signList.empty() && options.keyFile.empty() && serial.empty();
        const bool signMode = !signList.empty() && newKey.empty() && !options.keyFile.empty();
        if (positional != 0 || !expires.empty() || !(keyMode || signMode)) {
            Err(kUsage);
            return 2;
        }
        return newKey.empty() ? SignHandMadeList(signList, options) : NewKey(newKey);
    }
    if (positional != 2) {
        Err(kUsage);
        return 2;
    }

    ::SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    options.cancel = &g_cancel;
    if (!quiet) options.progress = ProgressLine();

    mf::publish::PublishSummary summary;
    std::wstring error;
    if (!mf::publish::Publish(options, summary, error)) {
        Err(L"mirefold-publish: " + error + L"; " + options.outFolder + L" is unchanged");
        return 1;
    }
    for (const std::wstring& warning : summary.warnings) Err(L"mirefold-publish: warning: " + warning);
    for (const std::wstring& path : summary.changed) Out(L"changed " + path);
    for (const std::wstring& path : summary.removed) Out(L"removed " + path);
    wchar_t seconds[32];
    std::swprintf(seconds, 32, L"%.2f s", summary.seconds);
    std::wstring line = L"published " + mf::ToWString(static_cast<long long>(summary.files)) + L" files (" +
                        Megabytes(summary.bytes) + L", " + mf::ToWString(static_cast<long long>(summary.zipVariants)) +
                        L" zip variants " + Megabytes(summary.zipBytes);
    if (summary.reusedZips > 0) line += L", " + mf::ToWString(static_cast<long long>(summary.reusedZips)) + L" reused";
    line += L")";
    if (summary.compared)
        line += L", " + mf::ToWString(static_cast<long long>(summary.changed.size())) + L" changed, " +
                mf::ToWString(static_cast<long long>(summary.removed.size())) + L" removed";
    if (!options.keyFile.empty())
        line += L", signed as serial " + mf::ToWString(static_cast<long long>(summary.serial));
    Out(line + L", in " + seconds);
    return 0;
}
