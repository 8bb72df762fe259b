// The message server's answer read into records, then scheduled through a
// day (a pass every half hour, so that every hour has two), each due record
// sent through its record text and read back as the push-message window
// reads it.
#include "ui/push_messages.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring answer = mf::fuzz::Utf16Text(data, size);
    constexpr mf::ui::LocalTime kParse = 1'780'000'000;
    std::vector<mf::ui::PushMessage> records = mf::ui::ParsePushMessages(answer, kParse);
    if (records.size() > mf::ui::kMaxPushMessages) mf::fuzz::Broken("more records than the answer may give");
    for (mf::ui::LocalTime now = kParse; now < kParse + mf::ui::kDay; now += 1799) {
        const std::optional<std::size_t> due = mf::ui::DuePushMessage(records, now, kParse);
        if (!due) continue;
        if (*due >= records.size()) mf::fuzz::Broken("a due record outside the list");
        const mf::ui::ShownMessage shown = mf::ui::ParseRecordText(mf::ui::RecordText(records[*due]));
        if (shown.pageWidth != records[*due].pageWidth || shown.yOffset != records[*due].yOffset)
            mf::fuzz::Broken("a record text does not read back its numbers");
        mf::ui::RetirePushMessage(records, shown.id);
    }
    (void)mf::ui::ParseRecordText(answer);
    (void)mf::ui::OfferTaken(answer);
    (void)mf::ui::OfferTakenByWatch(answer);
    return 0;
}
