// One child program under a pseudo-terminal, driven by the Qt event loop of the thread
// that starts it: output chunks go to onData, the end of the child to onClose (once).
// Own it through std::shared_ptr so event handlers can keep it alive while they run.
#pragma once

#include "TmuxTransport.h"

#include <sys/types.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace orvane {

class PTYProcess : public TmuxTransport, public std::enable_shared_from_this<PTYProcess> {
public:
    using Env = std::map<std::string, std::string>;

    PTYProcess(std::string executable, std::vector<std::string> arguments, Env env,
               std::optional<std::string> directory);
    ~PTYProcess() override;
    PTYProcess(const PTYProcess&) = delete;
    PTYProcess& operator=(const PTYProcess&) = delete;

    using TmuxTransport::write;
    void start(int cols, int rows) override;
    // Never blocks: what the child does not take at once is queued, in order.
    void write(std::span<const uint8_t> bytes) override;
    void resize(int cols, int rows) override;
    // Hangs up on the child; no callback afterwards.
    void stop() override;

    pid_t processID() const { return pid_; }
    const std::string& executable() const { return executable_; }
    const std::vector<std::string>& arguments() const { return arguments_; }
    const Env& extraEnv() const { return extraEnv_; }
    const std::optional<std::string>& directory() const { return directory_; }
    // Bytes written but not yet taken by the child.
    size_t queuedBytes() const { return pending_.size() - pendingOffset_; }

private:
    void readAvailable();
    void writeQueued();
    void childExited();
    void cleanUp();
    void hangUp();

    std::string executable_;
    std::vector<std::string> arguments_;
    Env extraEnv_;
    std::optional<std::string> directory_;

    int master_ = -1;
    int keepAlive_ = -1;
    int pidfd_ = -1;
    pid_t pid_ = 0;
    bool reaped_ = false;
    std::unique_ptr<QSocketNotifier> reader_;
    std::unique_ptr<QSocketNotifier> writer_;
    std::unique_ptr<QSocketNotifier> exitWatcher_;
    std::unique_ptr<QTimer> exitPoll_;  // where pidfd_open is not available
    std::vector<uint8_t> pending_;
    size_t pendingOffset_ = 0;
    std::vector<uint8_t> buffer_;
};

}  // namespace orvane
