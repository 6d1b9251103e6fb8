// Tab names from the process table, renaming a tab, and the offer to switch to tmux.
#include "GlassView.h"

#include "TabNaming.h"

#include <QCoreApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QThreadPool>

namespace orvane {

void GlassView::pollCommands()
{
    if (link_)
        return;
    std::vector<int> pids;
    for (const auto& tab : tabs_) {
        const TerminalView* first = tab->panes.empty() ? nullptr : tab->panes[0].data();
        pids.push_back(first && first->shell ? first->shell->processID() : 0);
    }
    // The process table is read off the main thread; the result comes back to it.
    const QPointer<GlassView> view(this);
    QThreadPool::globalInstance()->start([view, pids] {
        const auto names = foregroundCommands(pids, readProcessTable());
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [view, pids, names] {
                if (view)
                    view->applyCommands(pids, names);
            },
            Qt::QueuedConnection);
    });
}

void GlassView::applyCommands(const std::vector<int>& pids, const std::map<int, std::string>& names)
{
    if (link_)
        return;
    bool changed = false;
    for (size_t i = 0; i < tabs_.size() && i < pids.size(); ++i) {
        const auto it = names.find(pids[i]);
        if (it != names.end() && it->second != tabs_[i]->lastCommand) {
            tabs_[i]->lastCommand = it->second;
            changed = true;
        }
    }
    if (changed)
        update();
    if (tabs_.size() == 1 && tabs_[0]->panes.size() == 1 && !pids.empty()) {
        const auto it = names.find(pids[0]);
        if (it != names.end() && it->second == "tmux") {
            if (!tmuxUpgradeOffered_)
                offerTmuxUpgrade();
        } else {
            tmuxUpgradeOffered_ = false;
        }
    }
}

void GlassView::offerTmuxUpgrade()
{
    tmuxUpgradeOffered_ = true;
    bool yes = false;
    if (confirmTmuxSwitch) {
        yes = confirmTmuxSwitch();
    } else {
        QMessageBox box(this);
        box.setText(QStringLiteral("tmux is running here"));
        box.setInformativeText(QStringLiteral(
            "Switch this window to full tmux mode? Tabs become tmux windows, splits become panes, and "
            "Sessions\u2026 (\u2318\u21e7S) lists sessions - the same integration a server window gets."));
        QPushButton* switchButton = box.addButton(QStringLiteral("Switch"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
        box.setDefaultButton(switchButton);
        box.exec();
        yes = box.clickedButton() == switchButton;
    }
    if (yes)
        switchToLocalTmux();
}

void GlassView::renameTab()
{
    if (tabs_.empty())
        return;
    TabModel& tab = *tabs_[size_t(active_)];
    const QString current = QString::fromStdString(tab.displayTitle());
    std::optional<std::string> typed;
    if (askText) {
        typed = askText(QStringLiteral("Rename tab"), {}, current);
    } else {
        QMessageBox box(this);
        box.setText(QStringLiteral("Rename tab"));
        auto* field = new QLineEdit(current);
        field->setFixedSize(260, 24);
        box.layout()->addWidget(field);
        QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        field->setFocus();
        box.exec();
        if (box.clickedButton() == ok)
            typed = field->text().toStdString();
    }
    if (typed) {
        const std::string trimmed = QString::fromStdString(*typed).trimmed().toStdString();
        if (link_) {
            // Quotes and control characters would end the name or start another command.
            std::string name;
            for (const char c : trimmed)
                if (c != '\'' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
                    name += c;
            if (!name.empty() && active_ < int(link_->wins.size()))
                runLinked("rename-window -t @" + std::to_string(link_->wins[size_t(active_)].id) + " '" + name + "'");
        } else {
            if (trimmed.empty())
                tab.name.reset();
            else
                tab.name = *typed;
            update();
        }
    }
    focusPane(*tabs_[size_t(active_)]);
}

}  // namespace orvane
