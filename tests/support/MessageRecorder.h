#pragma once

#include "Messages.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvane
{

// Records every message box instead of showing it. While installed, a box
// "stays open" for as long as the optional while-open hook runs, so tests
// can deliver serial input or timer ticks under an open box.
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<Message>& messages() const { return messages_; }
    std::vector<std::string> texts() const;
    void clear() { messages_.clear(); }
    void setWhileOpen(std::function<void(const Message&)> hook) { whileOpen_ = std::move(hook); }

private:
    std::vector<Message> messages_;
    std::function<void(const Message&)> whileOpen_;
};

// Spins the event loop until the condition holds or the deadline passes.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Spins the event loop for a while (negative checks only: "nothing happened").
void SpinFor(int ms);

} // namespace quorvane
