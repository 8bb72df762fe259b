// Fetching a file of an update: which forms are asked for, as the list marks
// them, and one session kept across files.
#include <gtest/gtest.h>

#include "engine/paths.h"
#include "net/fetch_file.h"
#include "net/internet.h"
#include "net_test_support.h"

namespace mf {
namespace {

using test::FreshEngine;

// A list that marks a file's zip variant decides what is asked for: a file
// marked without one is asked for plainly only, one marked with one (or not
// marked at all) as its variant first. The fault server counts the two
// forms apart ("._.zip" ends up in the tag).
TEST(FetchFile, ZipMarksDecideWhichFormsAreAskedFor) {
    FreshEngine env;
    struct Case { const wchar_t* query; ZipHint hint; bool fetched; int zipRequests; int plainRequests; };
    const Case cases[] = {
        // A real zip variant, and no plain file.
        {L"zipbomb=1000", ZipHint::Unmarked, true, 1, 0},
        {L"zipbomb=1000", ZipHint::Present, true, 1, 0},
        {L"zipbomb=1000", ZipHint::Absent, false, 0, 1},
        // A plain file only (what the variant's address serves is no zip).
        {L"size=1000", ZipHint::Unmarked, true, 1, 1},
        {L"size=1000", ZipHint::Absent, true, 0, 1},
    };
    int number = 0;
    for (const Case& c : cases) {
        const std::wstring tag = L"zipmark" + std::to_wstring(++number);
        const std::wstring target = env.folder() / L"data.bin";
        FetchOptions options;
        options.zip = c.hint;
        const int result =
            FetchFile(nullptr, 0, test::FaultUrl(L"net/data.bin?") + c.query + L"&tag=" + tag, target, options);
        EXPECT_EQ(result, c.fetched ? 0 : 1) << number;
        EXPECT_EQ(test::FaultRequestCount(tag + L"._.zip"), c.zipRequests) << number;
        EXPECT_EQ(test::FaultRequestCount(tag), c.plainRequests) << number;
        EXPECT_EQ(FileExists(target + L"_"), c.fetched) << number;
        DeleteFileForce(target + L"_");
    }
}

// The download phase keeps one session for all its files, so that their
// connections are reused: files of every size come through it, from a
// server that keeps its connections alive (nginx) and from one that closes
// each after its reply (the fault server).
TEST(FetchFile, OneSessionServesManyFiles) {
    FreshEngine env;
    const test::NginxSite site(L"net");
    DownloadSession session;
    ASSERT_TRUE(session.root());
    FetchOptions options;
    options.zip = ZipHint::Absent;
    options.session = &session;
    const std::int32_t sizes[] = {0, 1000, 51200, 300000, 2097152, 3000000};
    int number = 0;
    for (const std::int32_t size : sizes) {
        const std::string body = test::RandomBytes(static_cast<std::size_t>(size), 40 + ++number);
        const std::wstring name = L"f" + std::to_wstring(number) + L".bin";
        ASSERT_TRUE(site.Publish(name, body));
        const std::wstring sources[] = {site.Url(name),
                                        test::FaultUrl(L"net/session/" + name + L"?size=" + std::to_wstring(size))};
        for (const std::wstring& url : sources) {
            const std::wstring target = env.folder() / name;
            ASSERT_EQ(FetchFile(nullptr, 0, url, target, options), 0) << url;
            const std::string expected = url == sources[0] ? body : test::PatternBytes(0, size);
            EXPECT_TRUE(test::ReadFileBytes(target + L"_") == expected) << url;
            DeleteFileForce(target + L"_");
        }
        DeleteFileForce(site.Path(name));
    }
}

}  // namespace
}  // namespace mf
