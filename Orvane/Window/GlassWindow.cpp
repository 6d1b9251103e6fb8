#include "GlassWindow.h"

#include "WindowFrames.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace orvane {

GlassWindow::GlassWindow(const QRect& frame)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);  // the application keeps its windows
    setMouseTracking(true);
    setMinimumSize(kMinimumWindowWidth, kMinimumWindowHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (!frame.isEmpty())
        setGeometry(frame);
}

void GlassWindow::setContentView(QWidget* view)
{
    if (content_ == view)
        return;
    if (content_) {
        layout()->removeWidget(content_);
        content_->deleteLater();
    }
    content_ = view;
    if (view) {
        view->setParent(this);
        view->setMouseTracking(true);
        layout()->addWidget(view);
        view->show();
    }
}

void GlassWindow::toggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void GlassWindow::toggleZoom()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

bool GlassWindow::frameIsSavable() const
{
    return !isFullScreen() && !isMinimized();
}

void GlassWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (const auto changed = onFrameChanged)
        changed();
}

void GlassWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (const auto changed = onFrameChanged)
        changed();
}

void GlassWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange || event->type() == QEvent::ActivationChange)
        if (const auto changed = onStateChanged)
            changed();
}

void GlassWindow::showEvent(QShowEvent* event)
{
    closed_ = false;
    QWidget::showEvent(event);
}

void GlassWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (closed_)
        return;
    closed_ = true;
    // Copies: either action may drop the window's callbacks (or schedule its deletion).
    if (const auto stop = teardown)
        stop();
    if (const auto done = onClose)
        done();
}

}  // namespace orvane
