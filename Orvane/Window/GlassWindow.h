// A top-level window without system frame, title bar or shadow, with a transparent background:
// its content view draws the whole glass card, its buttons and edges.
#pragma once

#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

namespace orvane {

class GlassWindow : public QWidget {
public:
    // `frame` is the window geometry (WindowFrames.h); empty leaves placement to the caller.
    explicit GlassWindow(const QRect& frame = QRect());

    // Run when the window closes; the application uses it to forget the window (releasing it
    // with deleteLater(), never directly from here).
    std::function<void()> onClose;
    // Set on the window opened automatically at launch; until then a folder request replaces it.
    std::optional<std::chrono::steady_clock::time_point> defaultLaunchWindowUntil;
    // Run first when the window closes: the content view stops its processes and unregisters.
    std::function<void()> teardown;

    // Run after the window moved or was resized (the content view saves its frame when
    // frameIsSavable()), and after its state changed: full screen, minimised, maximised, active.
    std::function<void()> onFrameChanged;
    std::function<void()> onStateChanged;
    // Not in full screen and not minimised.
    bool frameIsSavable() const;

    // Makes `view` the window's content, filling it.
    void setContentView(QWidget* view);
    QWidget* contentView() const { return content_; }

    // The traffic lights and the double click on the background.
    void toggleFullScreen();
    void toggleZoom();

protected:
    // Every way of closing passes here (close(), the window manager, the application quitting):
    // teardown, then onClose, once per time the window was shown.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* content_ = nullptr;
    bool closed_ = false;
};

}  // namespace orvane
