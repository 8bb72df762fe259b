// What the update phases must ask a person goes through this seam. The
// phases (check/, apply/) never show a window themselves: they call Ask(),
// and whoever stands behind the seam answers. By default that is the
// message-box rule of engine/message_box.h (a box when somebody can answer,
// the question's unattended answer when nobody can); a window of the
// product can answer instead, and a test scripts the answers. Every
// question is logged, whoever answers it.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace mf {

struct Question {
    HWND owner = nullptr;
    std::wstring text;
    UINT flags = MB_OK;          // MB_ buttons and icon, as for a message box
    int unattendedAnswer = 0;    // when nobody can answer; 0: the answer that goes no further
    std::wstring caption;        // empty: the product name
};

class Asker {
public:
    virtual ~Asker() = default;
    // The button id of the answer (IDYES, IDNO, IDRETRY, ...).
    virtual int Ask(const Question& question) = 0;
};

// The message-box rule.
class MessageBoxAsker final : public Asker {
public:
    int Ask(const Question& question) override;
};

// Asks through the asker in place for this process state.
int Ask(const Question& question);

// An error a phase must tell (an OK box with the error icon); nothing for an
// empty text.
void TellError(const std::wstring& text, HWND owner = nullptr);

// Puts `asker` in place while it lives (for a window that answers, or a
// test); the asker in place before comes back afterwards.
class ScopedAsker {
public:
    explicit ScopedAsker(Asker& asker);
    ~ScopedAsker();
    ScopedAsker(const ScopedAsker&) = delete;
    ScopedAsker& operator=(const ScopedAsker&) = delete;

private:
    Asker* previous_;
};

}  // namespace mf
