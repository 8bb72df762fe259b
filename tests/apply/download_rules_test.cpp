// The download phase's rules on their own: URLs, temporary paths, records
// without anything to fetch, the work list, the in-flight limit, the end of
// a run, the texts and the retry rule.
#include <gtest/gtest.h>

#include "apply/download_rules.h"
#include "base/strings.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

updatefileinfo Record(const std::wstring& path, const std::wstring& url = L"") {
    updatefileinfo record;
    record.path = path;
    record.url = url;
    return record;
}

TEST(DownloadRules, FileUrl) {
    struct Case {
        const wchar_t* path;
        const wchar_t* url;
        const wchar_t* fileUrlTemplate;
        const wchar_t* base;
        const wchar_t* expected;
    };
    const Case cases[] = {
        // The record's own URL, unchanged (not even normalised).
        {L"a.dll", L"http://other/x//a.dll", L"{listurl-base}/{filename}", L"http://h/p", L"http://other/x//a.dll"},
        // The default template: backslashes of the path become slashes.
        {L"bin\\a.dll", L"", L"{listurl-base}/{filename}", L"http://h/p", L"http://h/p/bin/a.dll"},
        // Doubled slashes collapse, the scheme keeps both.
        {L"\\bin\\a.dll", L"", L"{listurl-base}/{filename}", L"http://h/p", L"http://h/p/bin/a.dll"},
        {L"a.dll", L"", L"{listurl-base}/{filename}", L"https://h/p", L"https://h/p/a.dll"},
        // A template of the list's own.
        {L"a.dll", L"", L"http://cdn/files/{filename}?from={listurl-base}", L"x", L"http://cdn/files/a.dll?from=x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildFileUrlWith(Record(c.path, c.url), c.fileUrlTemplate, c.base), c.expected) << Narrow(c.path);
}

TEST(DownloadRules, TemporaryPath) {
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\AB12-345678", L"bin\\a.dll"), L"C:\\t\\AB12-345678\\bin\\a.dll");
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\B", L"bin/sub//a.dll"), L"C:\\t\\B\\bin\\sub\\a.dll");
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\B\\", L"\\a.dll"), L"C:\\t\\B\\a.dll");
    // An absolute path is fetched inside the folder too, under its path
    // without the drive or network prefix.
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\B", L"D:\\x//a.dll"), L"C:\\t\\B\\~absolute\\D\\x\\a.dll");
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\B", L"\\\\?\\D:\\x\\a.dll"), L"C:\\t\\B\\~absolute\\D\\x\\a.dll");
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\B", L"\\\\srv\\share\\a.dll"), L"C:\\t\\B\\~absolute\\srv\\share\\a.dll");
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\B", L"\\\\?\\UNC\\srv\\share\\a.dll"),
              L"C:\\t\\B\\~absolute\\srv\\share\\a.dll");
    // Refused: a ":" that makes no absolute path, and paths that climb out.
    for (const wchar_t* refused : {L":a.dll", L"data\\a.dll:stream", L"C:a.dll", L"\\\\.\\C:", L"..\\a.dll",
                                   L"bin\\..\\..\\a.dll", L"bin/../../a.dll", L"...\\a.dll"})
        EXPECT_EQ(DownloadPathWith(L"C:\\t\\B", refused), L"") << Narrow(refused);
    EXPECT_EQ(DownloadPathWith(L"C:\\t\\B", L"bin\\..\\a.dll"), L"C:\\t\\B\\bin\\..\\a.dll");
}

TEST(DownloadRules, RecordsWithNothingToFetch) {
    for (const std::int32_t oper : {0, OPER_RUN, OPER_REG, OPER_BOOT, OPER_RUN | OPER_REG | OPER_BOOT, 0x40, 0x00800000,
                                    static_cast<std::int32_t>(0x80000000u)})
        EXPECT_FALSE(NothingToDownload(oper)) << std::hex << oper;
    for (const std::int32_t oper :
         {OPER_DEL, OPER_DEL | OPER_RUN, 0x10, 0x20, 0x01000000, OPER_DESCRIPTION, OPER_COMMAND})
        EXPECT_TRUE(NothingToDownload(oper)) << std::hex << oper;
}

TEST(DownloadRules, WorkList) {
    using Work = std::vector<int>;
    EXPECT_EQ(DownloadWorkList(4, {}), (Work{0, 1, 2, 3}));
    EXPECT_EQ(DownloadWorkList(0, {}), Work{});
    // The failed files, in the order they failed.
    EXPECT_EQ(DownloadWorkList(6, {4, 1, 5}), (Work{4, 1, 5}));
    // Indices that name no record any more are dropped.
    EXPECT_EQ(DownloadWorkList(3, {7, 2, 3}), (Work{2}));
    EXPECT_EQ(DownloadWorkList(2, {9}), Work{});
}

TEST(DownloadRules, InFlightLimitAndEnd) {
    // Position 2 started, nothing finished: 3 files in flight.
    EXPECT_TRUE(FileSlotsFull(2, 0, 0, 3));
    EXPECT_FALSE(FileSlotsFull(2, 0, 0, 4));
    // Finished files, fetched or failed, free their slots.
    EXPECT_FALSE(FileSlotsFull(2, 1, 0, 3));
    EXPECT_FALSE(FileSlotsFull(2, 0, 1, 3));
    // One at a time: the next file waits for the one before it.
    EXPECT_TRUE(FileSlotsFull(0, 0, 0, 1));
    EXPECT_FALSE(FileSlotsFull(0, 1, 0, 1));

    EXPECT_TRUE(AllFilesCounted(0, 3, 3));
    EXPECT_TRUE(AllFilesCounted(1, 2, 3));
    EXPECT_FALSE(AllFilesCounted(0, 2, 3));
    EXPECT_TRUE(AllFilesCounted(0, 0, 0));
}

TEST(DownloadRules, RetryRule) {
    struct Case {
        UpdateStatus status;
        int completed;
        int retriesDone;
        bool stop;
        bool retry;
    };
    const Case cases[] = {
        {UpdateStatus::DownloadError, 3, 0, false, true},
        {UpdateStatus::DownloadError, 3, 3, false, true},
        {UpdateStatus::DownloadError, 3, 4, false, false},  // at most 4 more runs
        {UpdateStatus::DownloadError, 0, 0, false, false},  // nothing ever arrived
        {UpdateStatus::DownloadOk, 3, 0, false, false},
        {UpdateStatus::Download, 3, 0, false, false},
        {UpdateStatus::DownloadError, 3, 0, true, false},   // asked to stop
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShouldRetryDownload(c.status, c.completed, c.retriesDone, c.stop), c.retry)
            << ToInt(c.status) << " " << c.completed << " " << c.retriesDone << " " << c.stop;
}

class DownloadTexts : public test::EngineFixture {};

TEST_F(DownloadTexts, EnglishAndTranslated) {
    DownloadProgress progress;
    progress.completed = 2;
    progress.total = 5;
    progress.active = 3;
    EXPECT_EQ(ProgressText(progress), L"Downloading, complete 2/5, total thread 3 ...");
    EXPECT_EQ(CompletionText(progress), L"Download completed 2/5.");
    EXPECT_EQ(StartText(false), L"Downloading to temporary directory...");
    EXPECT_EQ(StartText(true), L"Downloading error files...");
    progress.errors = 1;
    EXPECT_EQ(ProgressText(progress), L"Error 1 files,complete 2/5");
    EXPECT_EQ(CompletionText(progress), L"Error 1 files,complete 2/5");

    state().language.LoadText(
        L"[MAIN]\nDownloading, complete %d/%d, total thread %d ...=正在下载，已完成 %d/%d，线程总数 %d ...\n"
        L"Error %d files,complete %d/%d=%d 个文件出错，已完成 %d/%d\n");
    progress.errors = 0;
    EXPECT_EQ(ProgressText(progress), L"正在下载，已完成 2/5，线程总数 3 ...");
    progress.errors = 4;
    EXPECT_EQ(ProgressText(progress), L"4 个文件出错，已完成 2/5");
}

}  // namespace
}  // namespace mf
