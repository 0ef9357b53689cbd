// Shared pieces of the fuzz targets: cutting an input into the pieces a
// link delivers, time that never waits, and a scratch file for readers that take a path.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/reporter.h"

namespace fuzz {

// The input as the bytes arrive from outside, in pieces. The first byte
// chooses how it is cut: its low three bits the longest piece (1, 2, 4, 8,
// 16, 64, 256 or 4096 bytes), its other bits the seed of the piece lengths,
// so the fuzzer itself finds the cuts that matter.
class Pieces {
public:
    Pieces(const std::uint8_t* data, std::size_t size)
    {
        if (size == 0) {
            return;
        }
        static constexpr std::size_t kLongest[] = {1, 2, 4, 8, 16, 64, 256, 4096};
        m_longest = kLongest[data[0] & 7u];
        m_state = 0x9e3779b9u ^ (static_cast<std::uint32_t>(data[0] >> 3) * 0x01000193u);
        m_rest = std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
    }
    // The whole input after the control byte.
    std::string_view whole() const { return m_whole.empty() ? m_rest : m_whole; }
    // The next piece; empty once everything was delivered.
    std::string_view next()
    {
        if (m_whole.empty()) {
            m_whole = m_rest;
        }
        if (m_rest.empty()) {
            return {};
        }
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        const std::size_t length = std::min<std::size_t>(m_rest.size(), 1 + m_state % m_longest);
        const std::string_view piece = m_rest.substr(0, length);
        m_rest.remove_prefix(length);
        return piece;
    }

private:
    std::string_view m_rest;
    std::string_view m_whole;
    std::size_t m_longest = 1;
    std::uint32_t m_state = 1;
};

// Time for the whole run: sleeps and waits of the code under test return at
// once (the clock moves on instead).
inline platform::FakeTime& installFakeTime()
{
    static platform::FakeTime time;
    platform::setClock(&time);
    platform::setSleeper(&time);
    return time;
}

// Messages, questions and beeps of the code under test go nowhere (the
// default would log each one).
inline void installQuietReporter()
{
    class Quiet : public platform::Reporter {
    public:
        void message(const std::string&, const std::string&, platform::MessageIcon) override {}
        bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
        void beep(int, int) override {}
    };
    static Quiet quiet;
    platform::setReporter(&quiet);
}

// A file of this process in memory-backed storage where there is one,
// rewritten for each input and removed when the process ends.
class ScratchFile {
public:
    explicit ScratchFile(const char* suffix)
    {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        m_path = std::string(base) + "/korvane-fuzz-" + std::to_string(getpid()) + suffix;
    }
    ~ScratchFile() { ::unlink(m_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return m_path; }
    // Replaces the file's content; false when it could not be written.
    bool write(std::string_view bytes) const
    {
        std::FILE* f = std::fopen(m_path.c_str(), "wb");
        if (f == nullptr) {
            return false;
        }
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return std::fclose(f) == 0 && ok;
    }

private:
    std::string m_path;
};

}  // namespace fuzz
