#pragma once

#include "generation/generate_command.h"
#include "runtime/runtime_services.h"

#include <cstddef>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace cipherloom::testing {

// Everything the fakes see, in order, so tests can check sequences across objects.
using EventLog = std::vector<std::string>;

// Plays back a fixed list of values; running out is a test failure, not a silent default.
class ScriptedRandom final : public RandomSource
{
public:
    explicit ScriptedRandom(std::vector<float> values, EventLog* log = nullptr)
        : m_values(values.begin(), values.end()), m_log(log)
    {}

    float Next() override
    {
        if (m_values.empty()) {
            throw std::logic_error("scripted random values exhausted");
        }
        ++nextCalls;
        if (m_log != nullptr) {
            m_log->push_back("next");
        }
        const float r = m_values.front();
        m_values.pop_front();
        return r;
    }

    void Reseed() override
    {
        ++reseedCalls;
        if (m_log != nullptr) {
            m_log->push_back("reseed");
        }
    }

    std::size_t Remaining() const { return m_values.size(); }

    int nextCalls = 0;
    int reseedCalls = 0;

private:
    std::deque<float> m_values;
    EventLog* m_log;
};

class FakeServices final : public RuntimeServices
{
public:
    explicit FakeServices(std::vector<float> randomValues) : random(std::move(randomValues), &log)
    {}

    void MsgBox(std::u16string_view prompt) override
    {
        messages.emplace_back(prompt);
        log.push_back("msgbox");
    }
    RandomSource& Random() override { return random; }
    void ClearClipboard() override
    {
        clipboard.clear();
        log.push_back("clear");
    }
    bool SetClipboardText(std::string_view text) override
    {
        log.push_back(std::string("set:").append(text));
        if (!clipboardWorks) {
            return false;
        }
        clipboard = text;
        return true;
    }
    void End() override { log.push_back("end"); }

    EventLog log;
    ScriptedRandom random;
    std::vector<std::u16string> messages;
    std::string clipboard;
    // Off: another program keeps the clipboard, as a busy clipboard manager can.
    bool clipboardWorks = true;
};

class FakeView final : public GenerateView
{
public:
    FakeView(std::u16string lengthText, EventLog& log) : text(std::move(lengthText)), m_log(log) {}

    std::u16string LengthText() const override
    {
        m_log.push_back(readOnly ? "read(ro)" : "read(rw)");
        return text;
    }
    void SetLengthReadOnly(bool flag) override
    {
        readOnly = flag;
        m_log.push_back(flag ? "ro" : "rw");
    }
    void ShowPassword(std::string_view password) override
    {
        label = password;
        m_log.push_back(std::string("show:").append(label));
    }

    std::u16string text;
    bool readOnly = false;
    std::string label;

private:
    EventLog& m_log;
};

} // namespace cipherloom::testing
