#include <gtest/gtest.h>

#include "base/path_text.h"
#include "base/strings.h"

namespace mf {
namespace {

TEST(PathText, Parts) {
    EXPECT_EQ(FolderOf(L"C:\\app\\a.dll"), L"C:\\app");
    EXPECT_EQ(FolderOf(L"sub/a.dll"), L"sub");
    EXPECT_EQ(FolderOf(L"a.dll"), L"");
    EXPECT_EQ(LastComponent(L"C:\\app\\a.dll"), L"a.dll");
    EXPECT_EQ(LastComponent(L"a.dll"), L"a.dll");
    EXPECT_EQ(BaseNameOf(L"C:\\x.y\\mirefold.exe"), L"mirefold");
    EXPECT_EQ(BaseNameOf(L"C:\\x.y\\mirefold"), L"mirefold");
    // The parent keeps a drive root's backslash and stops there.
    EXPECT_EQ(ParentOf(L"C:\\x\\y"), L"C:\\x");
    EXPECT_EQ(ParentOf(L"C:\\x"), L"C:\\");
    EXPECT_EQ(ParentOf(L"C:\\"), L"C:\\");
    EXPECT_EQ(ParentOf(L"name"), L"name");
}

TEST(PathText, WhatMakesAPathAbsolute) {
    struct Case {
        const wchar_t* path;
        PathForm form;
    };
    const Case cases[] = {
        {L"C:\\x", PathForm::Absolute},         {L"c:/x", PathForm::Absolute},
        {L"\\\\srv\\share\\x", PathForm::Absolute}, {L"\\\\?\\C:\\x", PathForm::Absolute},
        {L"\\\\?\\UNC\\srv\\s\\x", PathForm::Absolute}, {L"data\\x.txt", PathForm::Relative},
        {L"\\x.txt", PathForm::Relative},       {L"data\\x.txt:stream", PathForm::Refused},
        {L"C:x.txt", PathForm::Refused},        {L"C:", PathForm::Refused},
        {L"C:\\x.txt:evil", PathForm::Refused}, {L"\\\\.\\C:", PathForm::Refused},
        {L"\\\\.\\pipe\\x", PathForm::Refused}, {L"\\\\?\\GLOBALROOT\\x", PathForm::Refused},
        {L"1:\\x", PathForm::Refused},
    };
    for (const Case& c : cases) EXPECT_EQ(FormOf(c.path), c.form) << Narrow(c.path);
}

TEST(PathText, RelativePathsThatStayInside) {
    for (const wchar_t* inside : {L"a.txt", L"a\\b\\c", L"a\\..\\b", L".\\a", L"a/./b", L"a\\b\\..\\..\\c", L""})
        EXPECT_TRUE(StaysInside(inside)) << Narrow(inside);
    for (const wchar_t* outside : {L"..", L"..\\a", L"a\\..\\..\\b", L"a/../../b", L"...", L"a\\. .\\b", L"a\\..."})
        EXPECT_FALSE(StaysInside(outside)) << Narrow(outside);
}

TEST(PathText, InsideAFolderByFullPaths) {
    EXPECT_TRUE(IsInside(L"C:\\Inst\\a.dll", L"C:\\Inst\\"));
    EXPECT_TRUE(IsInside(L"c:\\inst", L"C:\\Inst"));
    EXPECT_FALSE(IsInside(L"C:\\Inst\\..\\x.dll", L"C:\\Inst"));
    EXPECT_FALSE(IsInside(L"C:\\Installer\\x.dll", L"C:\\Inst"));
}

TEST(PathText, Separators) {
    EXPECT_EQ(CollapseSeparators(L"C:\\a//b\\\\\\c"), L"C:\\a\\b\\c");
    EXPECT_EQ(CollapseSeparators(L"\\\\srv\\\\share"), L"\\\\srv\\share");
    EXPECT_EQ(CollapseSeparators(L"//srv/share"), L"\\\\srv\\share");
}

}  // namespace
}  // namespace mf
