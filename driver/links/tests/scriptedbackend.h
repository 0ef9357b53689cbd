// A serial backend whose modem lines, line errors and failures the test
// scripts: what a pseudo-terminal cannot show.
#pragma once

#include <string>
#include <utility>

#include "driver/links/serialbackend.h"

namespace linktest {

class ScriptedBackend : public quorvin::SerialBackend {
public:
    struct Script {
        quorvin::SerialOpenResult openResult = quorvin::SerialOpenResult::Ok;
        bool dsr = true;
        bool cts = true;
        bool writeFails = false;
        bool countFails = false;
        bool discardFails = false;
        bool notificationFails = false;
        std::string input;
        std::string reply;  // arrives while a write is under way
        std::string written;
        int writes = 0;
        int opens = 0;
        bool lineError = false;
        bool open = false;
        quorvin::LineSettings line;
        std::string device;
    };

    // The script outlives the backend, which the link owns.
    explicit ScriptedBackend(Script& script) : m_script(script) {}

    void setListener(quorvin::SerialBackendListener* listener) override { m_listener = listener; }
    quorvin::SerialOpenResult open(const std::string& device, const quorvin::LineSettings& line) override
    {
        ++m_script.opens;
        m_script.device = device;
        m_script.line = line;
        m_script.open = m_script.openResult == quorvin::SerialOpenResult::Ok;
        return m_script.openResult;
    }
    bool close() override
    {
        m_script.open = false;
        return true;
    }
    bool isOpen() const override { return m_script.open; }
    bool dsr() override { return m_script.dsr; }
    bool cts() override { return m_script.cts; }
    bool discardInput() override
    {
        if (m_script.discardFails) {
            return false;
        }
        m_script.input.clear();
        return true;
    }
    bool write(const std::string& bytes) override
    {
        if (m_script.writeFails) {
            return false;
        }
        ++m_script.writes;
        m_script.written += bytes;
        if (!m_script.reply.empty()) {
            arrive(std::exchange(m_script.reply, std::string()));
        }
        return true;
    }
    std::int64_t bytesWaiting() override
    {
        return m_script.countFails ? -1 : static_cast<std::int64_t>(m_script.input.size());
    }
    std::optional<std::string> readAll() override
    {
        std::string data;
        data.swap(m_script.input);
        return data;
    }
    std::optional<std::string> peek() override
    {
        if (m_script.countFails) {
            return std::nullopt;
        }
        return m_script.input;
    }
    bool takeLineError() override
    {
        const bool error = m_script.lineError;
        m_script.lineError = false;
        return error;
    }
    bool setReceiveNotification(bool) override { return !m_script.notificationFails; }

    // The receiver sends bytes; the port reports them.
    void arrive(const std::string& bytes)
    {
        m_script.input += bytes;
        if (m_listener != nullptr) {
            m_listener->backendDataArrived();
        }
    }
    // A framing error reported by the port's event.
    void lineErrorEvent()
    {
        if (m_listener != nullptr) {
            m_listener->backendLineError();
        }
    }

private:
    Script& m_script;
    quorvin::SerialBackendListener* m_listener = nullptr;
};

}  // namespace linktest
