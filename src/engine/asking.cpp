#include "engine/asking.h"

#include "engine/log.h"
#include "engine/message_box.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// The asker in place; null: the message-box rule. Set by the window thread
// before it starts the workers that ask.
// Process-wide: a fresh state asks by the message-box rule.
struct AskerSlot : ProcessWide {
    std::atomic<Asker*> current{nullptr};
};

AskerSlot& Slot() { return Process().Shared<AskerSlot>(); }

}  // namespace

int MessageBoxAsker::Ask(const Question& question) {
    return ShowMessage(question.owner, question.text, question.flags, question.unattendedAnswer, question.caption);
}

int Ask(const Question& question) {
    Asker* asker = Slot().current.load();
    if (asker == nullptr) return MessageBoxAsker().Ask(question);
    WriteLog(question.text);
    return asker->Ask(question);
}

void TellError(const std::wstring& text, HWND owner) {
    if (!text.empty()) Ask({owner, text, MB_OK | MB_ICONERROR, 0, {}});
}

ScopedAsker::ScopedAsker(Asker& asker) : previous_(Slot().current.exchange(&asker)) {}

ScopedAsker::~ScopedAsker() { Slot().current.store(previous_); }

}  // namespace mf
