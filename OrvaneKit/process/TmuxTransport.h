// A byte pipe to a terminal session: started with a size, delivers the far side's bytes,
// takes the user's bytes and size changes, and reports its end. It carries either a plain
// terminal session or a tmux control-mode stream.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace orvane {

class TmuxTransport {
public:
    virtual ~TmuxTransport() = default;

    // Bytes from the far side. May be replaced at any time; unset means dropped.
    std::function<void(std::span<const uint8_t>)> onData;
    // The transport has ended; told once.
    std::function<void()> onClose;

    // Starts the session; throws TransportError.
    virtual void start(int cols, int rows) = 0;
    virtual void write(std::span<const uint8_t> bytes) = 0;
    virtual void resize(int cols, int rows) = 0;
    virtual void stop() = 0;

    void write(std::string_view text)
    {
        write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
};

}  // namespace orvane
