// The update check: fetches the product list (or asks it for the version
// first), merges the main list into it, compares it with the installed list
// and leaves the records to process in the process's DownLoadList.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "check/version_reply.h"
#include "list/download_list.h"

namespace mf {

// The polls of a wait of the check ("TimeOut", "MultCheckTimeOut": units of
// 100 polls of about a millisecond). A value that holds no number takes the
// default; one below 1 or above kMaxWaitUnits is clamped to that bound, so a
// typing error neither ends the wait at once nor overflows it.
inline constexpr long kMaxWaitUnits = 36000;  // about an hour
[[nodiscard]] long WaitPollsOf(const std::wstring& value, long defaultUnits);

// The check entry of the flows and windows: the version query when
// APPLICATION/CheckVerNumber is on, else CheckAndReport.
void RunUpdateCheck(HWND owner);
// Thread entry for RunUpdateCheck; the parameter is the owner window.
DWORD WINAPI RunUpdateCheckThread(void* owner);

// The check with its reports: status 1, then 3 (with the count found) or 2.
void CheckAndReport(HWND owner);

// True when UPDATEINFO/ListURL is set (after offering to write a sample
// configuration when interactive); sets the list's base URL.
bool ValidateListConfig(HWND ownerWindow, bool interactive);

// The list URL cut before its last "/" (see SetListBase).
std::wstring ListBaseOf(const std::wstring& url);
void SetListBase(const std::wstring& url);

// Fetch (or, in the quick check, take the previous download), read and
// compare. False when ListURL is too short or the list cannot be fetched.
bool CheckForUpdates(HWND ownerWindow);

// Reads the server list and the installed list and appends the server
// records that need processing to `result` (with the server list's
// identifier and file-URL template). False, with the error reported, when
// the server list is there but cannot be read whole. COM must be
// initialised.
bool ReadAndCompareLists(const std::wstring& serverList, const std::wstring& localList, DownLoadList& result);

// Where the product list is downloaded to: the temporary folder's
// "<ListNameHash>.xml", or what the quick check chose instead.
std::wstring ListTempPath();

// The body of the list download: product list and main list fetched and
// merged into `listPath`. True when both arrived and merged.
bool DownloadAndMergeLists(const std::wstring& listPath);

// The body of the version query: the reply, or nothing when none came back.
// It only reads: the waiting side stores the reply in the DownLoadList when
// it arrived in time.
std::optional<VersionReply> QueryVersion();

}  // namespace mf
