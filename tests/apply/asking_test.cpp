// The phases ask through the asking seam: a scripted asker answers instead
// of a message box, every question is logged, and the asker in place before
// comes back.
#include <gtest/gtest.h>

#include <vector>

#include "apply/local_check.h"
#include "apply/local_check_support.h"
#include "base/handles.h"
#include "engine/asking.h"

namespace mf {
namespace {

class ScriptedAsker final : public Asker {
public:
    explicit ScriptedAsker(std::vector<int> answers) : answers_(std::move(answers)) {}
    int Ask(const Question& question) override {
        asked.push_back(question);
        const std::size_t index = asked.size() - 1;
        return index < answers_.size() ? answers_[index] : answers_.back();
    }
    std::vector<Question> asked;

private:
    std::vector<int> answers_;
};

class AskingSeam : public test::LocalCheckFixture {};

TEST_F(AskingSeam, LockedFileQuestionsGoToTheAskerInPlace) {
    WriteProductConfig(L"");
    const std::wstring path = InFolder(L"locked.dll");
    ASSERT_TRUE(test::WriteFileBytes(path, "MZ"));
    // Held open without sharing, as a running program holds its files.
    UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    ScriptedAsker asker({IDRETRY, IDCANCEL});
    {
        ScopedAsker inPlace(asker);
        EXPECT_FALSE(EnsureFileWritable(path, true));
    }
    ASSERT_EQ(asker.asked.size(), 2u);
    EXPECT_EQ(asker.asked[0].flags & MB_TYPEMASK, static_cast<UINT>(MB_RETRYCANCEL));
    EXPECT_NE(asker.asked[1].text.find(path), std::wstring::npos);
    EXPECT_TRUE(Logged(L"Can't overwrite the file,Please close it.\n" + path));
    // Out of scope, the message-box rule is back: an unattended run answers
    // Cancel without a box, and the asker is not asked again.
    state().run.SetMode(RunMode::Silence);
    EXPECT_FALSE(EnsureFileWritable(path, true));
    EXPECT_EQ(asker.asked.size(), 2u);
    EXPECT_TRUE(Logged(path + L" [not shown: nobody to answer in this run]"));
}

}  // namespace
}  // namespace mf
