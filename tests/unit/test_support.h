// Shared pieces of the unit tests: a prompter that records and answers from a script, and the
// in-process module on the virtual clock.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "link/prompter.h"
#include "link/virtual_clock.h"

namespace etc::test {

struct ShownMessage {
    link::MessageKind kind;
    std::string text;
    link::ButtonSet buttons;
};

class ScriptedPrompter final : public link::Prompter {
  public:
    // Answers are taken in order; without one, the first button of the set is pressed.
    std::deque<link::Button> answers;
    std::vector<ShownMessage> shown;
    // Runs while a box is "open", as the nested event loop of a real box would (for example: advance
    // the virtual clock).
    std::function<void()> whileOpen;

    link::Button message(link::MessageKind kind, const std::string& text, link::ButtonSet buttons) override {
        shown.push_back({kind, text, buttons});
        if (whileOpen)
            whileOpen();
        if (!answers.empty()) {
            const link::Button b = answers.front();
            answers.pop_front();
            return b;
        }
        switch (buttons) {
            case link::ButtonSet::Ok:
                return link::Button::Ok;
            case link::ButtonSet::YesNo:
                return link::Button::Yes;
            case link::ButtonSet::CancelIgnore:
                return link::Button::Cancel;
        }
        return link::Button::Ok;
    }

    [[nodiscard]] std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& m : shown)
            t.push_back(m.text);
        return t;
    }
};

}  // namespace etc::test

#include <memory>
#include <optional>

#include "link/codec.h"
#include "link/desktop.h"
#include "link/serial_port.h"

namespace etc::test {

// A serial port whose input the test controls byte by byte. A responder may answer writes; its
// answer arrives as one input event after `replyDelay` on the virtual clock, never inside write().
class FakePort final : public link::SerialPort {
  public:
    struct Write {
        link::Duration at;
        int baud;
        std::string port;
        link::Bytes bytes;
    };
    using Responder =
        std::function<std::optional<link::Bytes>(const std::string& port, const link::Bytes& frame)>;

    explicit FakePort(link::VirtualClock& clock) : m_clock(clock), m_delivery(clock.createTimer()) {
        m_delivery->setInterval(std::chrono::milliseconds(5));
        m_delivery->setHandler([this] {
            m_delivery->stop();
            auto pending = std::move(m_pending);
            m_pending.clear();
            if (m_open)
                push(pending);
        });
    }

    std::vector<std::string> openable{"COM1"};
    std::string openError = "No such file or directory";
    bool writeFails = false;
    bool readFails = false;
    Responder responder;
    std::vector<Write> writes;
    std::vector<std::string> openedNames;
    int purges = 0;

    std::optional<std::string> open(const std::string& name) override {
        for (const auto& n : openable) {
            if (n == name) {
                m_open = true;
                m_name = name;
                openedNames.push_back(name);
                return std::nullopt;
            }
        }
        return openError;
    }
    void close() override {
        m_open = false;
        m_input.clear();
    }
    bool isOpen() const override { return m_open; }
    void setBaudRate(int baud) override { m_baud = baud; }
    int baudRate() const override { return m_baud; }
    bool write(std::span<const std::uint8_t> bytes) override {
        if (writeFails || !m_open)
            return false;
        link::Bytes frame(bytes.begin(), bytes.end());
        writes.push_back({m_clock.now(), m_baud, m_name, frame});
        if (responder) {
            if (auto reply = responder(m_name, frame)) {
                m_pending.insert(m_pending.end(), reply->begin(), reply->end());
                m_delivery->start();
            }
        }
        return true;
    }
    bool read(std::size_t n, std::vector<std::uint8_t>& into) override {
        if (readFails)
            return false;
        n = std::min(n, m_input.size());
        into.insert(into.end(), m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(n));
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(n));
        return true;
    }
    std::size_t bytesAvailable() const override { return m_input.size(); }
    void purge() override {
        ++purges;
        m_input.clear();
    }
    void setReadyRead(ReadyRead handler) override { m_handler = std::move(handler); }

    // Bytes arriving from the line: one input event.
    void push(const link::Bytes& bytes) {
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
        if (m_handler)
            m_handler(m_input.size());
    }
    [[nodiscard]] std::vector<link::Bytes> frames() const {
        std::vector<link::Bytes> f;
        for (const auto& w : writes)
            f.push_back(w.bytes);
        return f;
    }

  private:
    link::VirtualClock& m_clock;
    std::unique_ptr<link::Timer> m_delivery;
    link::Bytes m_pending;
    link::Bytes m_input;
    ReadyRead m_handler;
    bool m_open = false;
    std::string m_name;
    int m_baud = 9600;
};

// Reply frames as the module sends them.
inline link::Bytes withSum(link::Bytes b) {
    b.push_back(link::Sum8(b));
    return b;
}
inline link::Bytes textReply(char letter, const std::string& text) {
    link::Bytes b{static_cast<std::uint8_t>(letter)};
    b.insert(b.end(), text.begin(), text.end());
    return withSum(std::move(b));
}
inline link::Bytes liveFrame(std::uint8_t fill = 0) {
    link::Bytes b(65, fill);
    b[0] = '*';
    return withSum(std::move(b));
}

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "etc_test") {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               (prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path;
};

// A desktop shell that records what it was asked to open. A document exists when the test named it
// in `existing` or when it is a file on disk.
class RecordingDesktop final : public link::Desktop {
  public:
    std::vector<std::string> opened;
    std::vector<std::string> existing;

    bool openDocument(const std::string& path) override {
        opened.push_back(path);
        return fileExists(path);
    }
    bool fileExists(const std::string& path) const override {
        return std::find(existing.begin(), existing.end(), path) != existing.end() ||
               std::filesystem::is_regular_file(path);
    }
};

}  // namespace etc::test
