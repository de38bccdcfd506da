#pragma once

// Fakes for the generator's two interfaces, shared by the tests, the fuzz target and the
// benchmarks. No Qt: the core and fuzz builds use them too.

#include "generation/generate_command.h"
#include "runtime/random_source.h"
#include "runtime/runtime_services.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cipherloom::testing {

// Everything the fakes see, in order, so tests can check sequences across objects.
using EventLog = std::vector<std::string>;

// Appends each event, with its detail, to the log if there is one.
class Recorder
{
protected:
    explicit Recorder(EventLog* log) : m_log(log) {}

    void Record(std::string_view event, std::string_view detail = {}) const
    {
        if (m_log != nullptr) {
            m_log->push_back(std::string(event).append(detail));
        }
    }

private:
    EventLog* m_log;
};

// Plays back the given values in order. After the last one the test decides: running out is a
// test failure (never a silent default), the values start over, or another source takes over.
// With no values and another source it counts what that source is asked for.
class ScriptedRandom final : public RandomSource, private Recorder
{
public:
    enum class AtEnd
    {
        Fail,
        Repeat,
    };

    explicit ScriptedRandom(std::vector<float> values, AtEnd atEnd = AtEnd::Fail,
                            EventLog* log = nullptr)
        : Recorder(log), m_values(std::move(values)), m_atEnd(atEnd)
    {}
    ScriptedRandom(std::vector<float> values, RandomSource& then)
        : Recorder(nullptr), m_values(std::move(values)), m_then(&then)
    {}

    float Next() override
    {
        if (m_next == m_values.size()) {
            if (m_then != nullptr) {
                ++nextCalls;
                return m_then->Next();
            }
            if (m_atEnd == AtEnd::Fail || m_values.empty()) {
                throw std::logic_error("scripted random values exhausted");
            }
            m_next = 0;
        }
        ++nextCalls;
        Record("next");
        return m_values[m_next++];
    }

    void Reseed() override
    {
        ++reseedCalls;
        Record("reseed");
        if (m_then != nullptr) {
            m_then->Reseed();
        }
    }

    // New values and counts from zero; no allocation for a script no longer than the last.
    void Reload(std::initializer_list<float> values)
    {
        m_values.assign(values);
        m_next = 0;
        nextCalls = 0;
        reseedCalls = 0;
    }

    std::size_t Remaining() const { return m_values.size() - m_next; }

    std::int64_t nextCalls = 0;
    int reseedCalls = 0;

private:
    std::vector<float> m_values;
    std::size_t m_next = 0;
    AtEnd m_atEnd = AtEnd::Fail;
    RandomSource* m_then = nullptr;
};

// The same value for every draw.
class FixedRandom final : public RandomSource
{
public:
    explicit FixedRandom(float value) : m_value(value) {}

    float Next() override { return m_value; }
    void Reseed() override {}

private:
    float m_value;
};

// Never runs out: walks the values k / 2^24 the real source produces by a prime stride, so every
// bucket of every draw row comes up and every draw ends.
class SweepingRandom final : public RandomSource
{
public:
    float Next() override
    {
        ++nextCalls;
        m_k = (m_k + kStride) % kValues;
        return std::ldexp(static_cast<float>(m_k), -kResolutionBits);
    }
    void Reseed() override { ++reseedCalls; }

    std::int64_t nextCalls = 0;
    int reseedCalls = 0;

private:
    static constexpr int kResolutionBits = 24;
    static constexpr std::uint32_t kValues = std::uint32_t{1} << kResolutionBits;
    static constexpr std::uint32_t kStride = 104729; // a prime, so coprime with 2^24
    std::uint32_t m_k = 0;
};

// The services as a user would see them: the message boxes shown (each returns at once) and what
// a paste would give. With a log, every call in order as well. refuseClipboard plays another
// program that keeps the clipboard, as a busy clipboard manager can; keepBusy, one that holds it
// open so it cannot be emptied, for that many attempts.
class RecordingRuntime final : public RuntimeServices, private Recorder
{
public:
    // random must outlive the runtime.
    explicit RecordingRuntime(RandomSource& random, EventLog* log = nullptr)
        : Recorder(log), m_random(random)
    {}

    void MsgBox(std::u16string_view prompt) override
    {
        messages.emplace_back(prompt);
        Record("msgbox");
    }
    RandomSource& Random() override { return m_random; }
    bool ClearClipboard() override
    {
        Record("clear");
        if (keepBusy > 0) {
            --keepBusy;
            return false;
        }
        clipboard.clear();
        return true;
    }
    bool SetClipboardText(std::string_view text) override
    {
        Record("set:", text);
        if (refuseClipboard) {
            return false;
        }
        clipboard = text;
        return true;
    }
    void End() override
    {
        ++ends;
        Record("end");
    }

    std::vector<std::u16string> messages;
    std::string clipboard;
    int ends = 0;
    bool refuseClipboard = false;
    int keepBusy = 0;

private:
    RandomSource& m_random;
};

// The length field and the password display as the Generate command sees them.
class RecordingView final : public GenerateView, private Recorder
{
public:
    explicit RecordingView(std::u16string lengthText, EventLog* log = nullptr)
        : Recorder(log), text(std::move(lengthText))
    {}

    std::u16string LengthText() const override
    {
        readWhileEditable = readWhileEditable || !readOnly;
        Record(readOnly ? "read(ro)" : "read(rw)");
        return text;
    }
    void SetLengthReadOnly(bool flag) override
    {
        readOnly = flag;
        Record(flag ? "ro" : "rw");
    }
    void ShowPassword(std::string_view password) override
    {
        label = password;
        Record("show:", password);
    }

    std::u16string text;
    bool readOnly = false;
    mutable bool readWhileEditable = false;
    std::string label;
};

} // namespace cipherloom::testing
